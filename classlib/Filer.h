#pragma once
// The binary form of form resources: a reader that builds components from it and a writer that
// stores components in it.
//
// A resource is the signature "TPF0" and one component: an optional prefix byte (0xF0 | flags:
// 1 inherited, 2 child position followed by an integer value), the class name and the component
// name as short strings (a length byte and the bytes), its properties (each a short-string name,
// possibly dotted as "Font.Name", and one value), an end of list, its child components, and an
// end of list. Each value starts with its kind byte (TValueKind).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Classes.h"
#include "Streams.h"

enum class TValueKind : uint8_t {
    Null = 0,         // end of list
    List = 1,         // values up to an end of list
    Int8 = 2,
    Int16 = 3,
    Int32 = 4,
    Extended = 5,     // ten-byte float: skipped, never read into a property
    String = 6,       // one-byte length, ANSI bytes
    Ident = 7,        // short string
    False = 8,
    True = 9,
    Binary = 10,      // four-byte length, bytes
    Set = 11,         // short strings up to an empty one
    LString = 12,     // four-byte length, ANSI bytes
    Nil = 13,
    Collection = 14,  // items (optional integer, list of properties, end) up to an end of list
    Single = 15,      // four-byte float: skipped
    Currency = 16,    // eight bytes: skipped
    Date = 17,        // eight bytes: skipped
    WString = 18,     // four-byte count of UTF-16 code units, the code units
    Int64 = 19,
    Utf8String = 20,  // four-byte byte count, UTF-8 bytes
};

class TReader;
class TWriter;

// What a persistent object sees in DefineStreamedProperties: one interface for reading and
// writing, so that an object defines its extra properties once.
class TFiler {
public:
    using TReaderProc = std::function<void(TReader&)>;
    using TWriterProc = std::function<void(TWriter&)>;
    using TStreamProc = std::function<void(TStream&)>;

    explicit TFiler(TStream& stream) : stream_(stream) {}
    virtual ~TFiler() = default;
    TFiler(const TFiler&) = delete;
    TFiler& operator=(const TFiler&) = delete;

    // A property stored by the object itself. Reading: when the resource names it, the reader
    // procedure reads its value, at once. Writing: when hasData, the name is written and the
    // writer procedure writes one value.
    virtual void DefineProperty(const std::string& name, TReaderProc reader, TWriterProc writer,
                                bool hasData) = 0;
    // The same with a binary value handed over as a stream.
    virtual void DefineBinaryProperty(const std::string& name, TStreamProc reader, TStreamProc writer,
                                      bool hasData) = 0;

    TStream& Stream() { return stream_; }
    TComponent* Root() const { return root_; }
    // While writing against an ancestor (an inherited form): the ancestor's counterpart of the
    // object whose properties are being defined; null when none (and always while reading).
    TPersistent* Ancestor() const { return ancestor_; }

protected:
    TStream& stream_;
    TComponent* root_ = nullptr;
    TPersistent* ancestor_ = nullptr;
};

class TReader : public TFiler {
public:
    explicit TReader(TStream& stream) : TFiler(stream) {}

    // Reads a whole resource into the root: its properties, its components (created by class
    // name, named, given their parent before their own properties), then binds component
    // references and events by name, then runs AfterLoad of the root and of every component
    // read, in reading order. Malformed data raises EReadError; what was read before stays, the
    // reading and loading states are cleared, and nothing is bound.
    void ReadRootComponent(TComponent* root);

    // The owner and the parent of the components being read.
    TComponent* Owner() const { return owner_; }
    TComponent* Parent() const { return parent_; }

    // Values. Each raises EReadError on a value of another kind or a truncated stream.
    TValueKind NextValue();           // the next kind, not consumed
    TValueKind ReadValue();           // the next kind, consumed
    void CheckValue(TValueKind kind);
    bool EndOfList() { return NextValue() == TValueKind::Null; }
    void ReadListBegin() { CheckValue(TValueKind::List); }
    void ReadListEnd() { CheckValue(TValueKind::Null); }
    void ReadSignature();
    std::string ReadStr();            // a short string without kind
    int32_t ReadInteger();            // kinds 2, 3, 4
    int64_t ReadInt64();              // kinds 2, 3, 4, 19
    bool ReadBoolean();               // kinds 8, 9
    std::string ReadIdent();          // kind 7; 8, 9 and 13 give "False", "True", "nil"
    std::string ReadString();         // 6 and 12 as they stand; 18 and 20 converted to ANSI
    std::wstring ReadWideString();    // 18 and 20; 6 and 12 through the ANSI code page
    std::string ReadBinary();         // kind 10: the bytes
    void SkipValue();

    void DefineProperty(const std::string& name, TReaderProc reader, TWriterProc writer, bool hasData) override;
    void DefineBinaryProperty(const std::string& name, TStreamProc reader, TStreamProc writer,
                              bool hasData) override;

private:
    struct Fixup {
        TObject* Instance;
        const TPropInfo* Prop;
        std::string Name;
        std::string Path;
    };
    struct Header {
        uint8_t Flags = 0;
        std::string ClassName;
        std::string Name;
    };

    [[noreturn]] void Error(const std::wstring& message) const;
    [[noreturn]] void ValueError() const;
    uint8_t ReadByte();
    void ReadBytes(void* buffer, int64_t count);
    int32_t ReadLength(int64_t unitSize);
    std::string ReadLongBytes();      // a four-byte byte count and the bytes
    Header ReadHeader();
    const TClassRecord* FindComponentClass(const std::string& name) const;
    TComponent* ReadComponent();
    void ReadData(TComponent* instance);
    void ReadProperty(TObject* instance);
    void ReadPropValue(TObject* instance, const TPropInfo* prop);
    // A property without the setter of its kind raises the read-only error.
    void CheckWritable(const TPropInfo* prop) const;
    void StoreOrd(TObject* instance, const TPropInfo* prop, int64_t value);
    // The values of ordinal properties: by number or by one of the property's names.
    int64_t ReadIntegerProp(const TPropInfo* prop);
    int64_t ReadEnumProp(const TPropInfo* prop);
    int64_t ReadSetProp(const TPropInfo* prop);
    // An event's method or a component reference: nil clears it at once, a name is bound after
    // the whole resource.
    void ReadBinding(TObject* instance, const TPropInfo* prop);
    void ReadCollection(TCollection* collection);
    void SkipProperty();
    void ResolveFixups();
    TComponent* FindReference(const std::string& name) const;
    void EnterNesting();

    TComponent* owner_ = nullptr;
    TComponent* parent_ = nullptr;
    std::vector<TComponent*> loaded_;
    std::vector<Fixup> fixups_;
    std::string propPath_;        // the property being read, for messages
    std::string definedName_;     // the property DefineStreamedProperties is asked for
    bool definedHandled_ = false;
    int depth_ = 0;
};

class TWriter : public TFiler {
public:
    explicit TWriter(TStream& stream) : TFiler(stream) {}

    // Writes the signature and the root with its components. Each property is written when it
    // is stored and differs from its default or, against an ancestor, from the ancestor's value;
    // then the object's own defined properties follow. Components found by name in the ancestor
    // are marked inherited.
    void WriteDescendent(TComponent* root, TComponent* ancestor);
    void WriteRootComponent(TComponent* root) { WriteDescendent(root, nullptr); }

    void WriteSignature();
    void WriteValue(TValueKind kind);
    void WriteListBegin() { WriteValue(TValueKind::List); }
    void WriteListEnd() { WriteValue(TValueKind::Null); }
    void WriteStr(const std::string& text);        // a short string without kind, up to 255 bytes
    void WriteInteger(int64_t value);              // the smallest integer kind that holds it
    void WriteBoolean(bool value);
    void WriteIdent(const std::string& ident);     // "False", "True" and "nil" as their kinds
    void WriteString(const std::string& text);     // ANSI: kind 6 up to 255 bytes, else 12
    // UTF-16 text: when its UTF-8 form is shorter than two bytes per code unit, pure ASCII as a
    // single-byte string and anything else as UTF-8 (20); otherwise as UTF-16 (18).
    void WriteWideString(const std::wstring& text);
    void WriteBinary(const void* data, int32_t size);
    // A component's prefix byte, 0xF0 | flags (1 inherited, 2 child position, 4 inline), and with
    // flag 2 the position; nothing for flags 0.
    void WritePrefix(uint8_t flags, int64_t childPosition);

    void DefineProperty(const std::string& name, TReaderProc reader, TWriterProc writer, bool hasData) override;
    void DefineBinaryProperty(const std::string& name, TStreamProc reader, TStreamProc writer,
                              bool hasData) override;

private:
    void WriteBytes(const void* data, int64_t size);
    void WriteComponent(TComponent* component, TComponent* ancestor);
    void WriteProperties(TObject* instance, TObject* ancestor, const std::string& prefix);
    void WriteProperty(TObject* instance, const TPropInfo* prop, TObject* ancestor, const TPropInfo* ancestorProp,
                       const std::string& prefix);
    // An event's method or a component reference: by its name, or nil when none is assigned;
    // nothing when an assigned one has no name to be written with.
    void WriteBinding(const std::string& name, bool assigned, const std::string& target);
    bool SameReference(TObject* value, TObject* ancestorValue) const;
    // An object property's own properties under "name.", or a collection's items.
    void WriteSubObject(TObject* value, TObject* ancestorValue, const std::string& name);
    void WriteOrdValue(const TPropInfo* prop, int64_t value, const std::string& name);
    void WriteCollection(TCollection* collection);
    bool SameCollection(TCollection* a, TCollection* b);
    // How a reference to the target is written from the given root: a component of the root by
    // its name (the root too), a component of another owner as "Owner.Name".
    static std::string ReferenceName(TObject* target, TComponent* root);

    TComponent* ancestorRoot_ = nullptr;
    std::string propPrefix_;
    int depth_ = 0;
};

// Reads a binary resource (signature first) into the root.
void ReadBinaryComponent(TStream& stream, TComponent* root);
// Writes the root (against an ancestor when one is given) as a binary resource.
void WriteComponentToStream(TStream& stream, TComponent* root, TComponent* ancestor = nullptr);
