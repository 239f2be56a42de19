#pragma once
// How wide lists and wide-string properties live in form resources.
//
// A wide list stores its items under the sub-property "WideStrings" and, when an item would not
// survive a trip through the ANSI code page, a second copy in UTF-7 under "WideStrings_UTF7". It
// also reads the forms older writers left: "Strings" (an ANSI list's items) and "WideStringsW"
// (UTF-8 items). A Unicode component adds two shadows beside each published wide-string property
// N: N + "W" (UTF-8, only read) and N + "_UTF7" (written when needed). The shadows and the UTF-7
// items matter only to a designer; at run time they are read and dropped, so the wide values the
// class library stores itself are what the running programs see.
#include <string>

#include "Classes.h"
#include "Filer.h"

class TWideStrings;

// True when the component that owns the reader is in design state.
bool ShadowValuesApply(TReader& reader);

// True when the text's UTF-8 bytes, seen as ANSI text, do not give the text back: a designer
// that keeps its texts in the ANSI code page would lose it, so a UTF-7 copy goes beside it.
bool TextNeedsUtf7(const std::wstring& text);

// The four sub-properties of a wide list, for TWideStrings::DefineStreamedProperties.
void DefineWideListProperties(TFiler& filer, TWideStrings& list);

// Carries one component and one property description while that property's shadows are
// defined; both are valid only during DefineShadowProperties, where the filer calls back.
class TWideStringPropertyFiler {
public:
    TWideStringPropertyFiler() = default;
    TWideStringPropertyFiler(const TWideStringPropertyFiler&) = delete;
    TWideStringPropertyFiler& operator=(const TWideStringPropertyFiler&) = delete;

    // Defines N + "W" and N + "_UTF7" for the component's published wide-string property of
    // that name; nothing when it has none.
    void DefineShadowProperties(TFiler& filer, TComponent* component, const std::string& propName);

    TComponent* Instance() const { return instance_; }
    const TPropInfo* PropInfo() const { return propInfo_; }

private:
    void ReadUtf8Shadow(TReader& reader);
    void ReadUtf7Shadow(TReader& reader);
    void WriteUtf7Shadow(TWriter& writer);
    bool Utf7ShadowHasData(TFiler& filer) const;

    TComponent* instance_ = nullptr;
    const TPropInfo* propInfo_ = nullptr;
};

// For a Unicode component's DefineStreamedProperties, after the inherited definitions: the
// shadows of every published wide-string property, in the class's property order.
void DefineWideStringProperties(TFiler& filer, TComponent* component);
