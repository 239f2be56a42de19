#include "FormText.h"

#include <cstring>

EParserError::EParserError(const std::wstring& message, int line)
    : EReadError(FormatText(L"%s (%d 行目)", {message, std::to_wstring(line)})), line_(line)
{
}

namespace {

constexpr int kMaxDepth = 64;

bool IsIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsIdentChar(char c) { return IsIdentStart(c) || (c >= '0' && c <= '9'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class TextParser {
public:
    TextParser(const std::string& text, TWriter& writer) : s_(text), w_(writer)
    {
        if (s_.compare(0, 3, "\xEF\xBB\xBF") == 0) pos_ = 3;
    }

    void Run()
    {
        w_.WriteSignature();
        ParseObject(0);
        SkipSpace();
        if (pos_ < s_.size()) Fail(L"オブジェクトの後に余分なテキストがあります");
    }

private:
    [[noreturn]] void Fail(const std::wstring& message) const { throw EParserError(message, line_); }

    void SkipSpace()
    {
        while (pos_ < s_.size()) {
            char c = s_[pos_];
            if (c == '\n') {
                ++line_;
            } else if (c != ' ' && c != '\t' && c != '\r') {
                break;
            }
            ++pos_;
        }
    }

    char Peek()
    {
        SkipSpace();
        return pos_ < s_.size() ? s_[pos_] : '\0';
    }

    void Expect(char c)
    {
        if (Peek() != c) Fail(FormatText(L"%s がありません", {std::wstring(1, static_cast<wchar_t>(c))}));
        ++pos_;
    }

    // An identifier; with dotted, parts joined by points ("Items.WideStrings").
    std::string Ident(bool dotted)
    {
        SkipSpace();
        if (pos_ >= s_.size() || !IsIdentStart(s_[pos_])) Fail(L"識別子がありません");
        size_t start = pos_;
        for (;;) {
            while (pos_ < s_.size() && IsIdentChar(s_[pos_])) ++pos_;
            if (dotted && pos_ + 1 < s_.size() && s_[pos_] == '.' && IsIdentStart(s_[pos_ + 1])) {
                ++pos_;
                continue;
            }
            break;
        }
        // A name is stored with a one-byte length.
        if (pos_ - start > 255) Fail(L"識別子が長すぎます");
        return s_.substr(start, pos_ - start);
    }

    // The next word when it is the keyword, consumed; the position stays otherwise.
    bool Keyword(const char* word)
    {
        SkipSpace();
        const size_t n = std::strlen(word);
        if (pos_ + n > s_.size()) return false;
        if (!SameIdent(s_.substr(pos_, n), word)) return false;
        if (pos_ + n < s_.size() && IsIdentChar(s_[pos_ + n])) return false;
        pos_ += n;
        return true;
    }

    bool AtObjectKeyword()
    {
        size_t save = pos_;
        int saveLine = line_;
        bool yes = Keyword("object") || Keyword("inherited") || Keyword("inline");
        pos_ = save;
        line_ = saveLine;
        return yes;
    }

    int64_t Number()
    {
        SkipSpace();
        bool negative = false;
        if (pos_ < s_.size() && (s_[pos_] == '-' || s_[pos_] == '+')) {
            negative = s_[pos_] == '-';
            ++pos_;
        }
        uint64_t value = 0;
        bool any = false;
        const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
        if (pos_ < s_.size() && s_[pos_] == '$') {
            ++pos_;
            while (pos_ < s_.size() && HexValue(s_[pos_]) >= 0) {
                if (value > (limit >> 4)) Fail(L"数値が大きすぎます");
                value = value * 16 + static_cast<uint64_t>(HexValue(s_[pos_++]));
                any = true;
            }
        } else {
            while (pos_ < s_.size() && IsDigit(s_[pos_])) {
                uint64_t d = static_cast<uint64_t>(s_[pos_++] - '0');
                if (value > (limit - d) / 10) Fail(L"数値が大きすぎます");
                value = value * 10 + d;
                any = true;
            }
        }
        if (!any) Fail(L"数値がありません");
        if (pos_ < s_.size() && (s_[pos_] == '.' || s_[pos_] == 'e' || s_[pos_] == 'E')) {
            Fail(L"浮動小数点数は扱えません");
        }
        if (value > limit) Fail(L"数値が大きすぎます");
        return negative ? static_cast<int64_t>(0 - value) : static_cast<int64_t>(value);
    }

    // One UTF-8 character of a quoted part, appended as UTF-16.
    void Utf8Char(std::wstring& out)
    {
        const unsigned char c = static_cast<unsigned char>(s_[pos_]);
        int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || pos_ + static_cast<size_t>(extra) >= s_.size()) Fail(L"UTF-8 として正しくない文字があります");
        uint32_t code = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
        for (int i = 1; i <= extra; ++i) {
            const unsigned char k = static_cast<unsigned char>(s_[pos_ + static_cast<size_t>(i)]);
            if ((k & 0xC0) != 0x80) Fail(L"UTF-8 として正しくない文字があります");
            code = (code << 6) | (k & 0x3F);
        }
        static const uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (code < minimum[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            Fail(L"UTF-8 として正しくない文字があります");
        }
        pos_ += static_cast<size_t>(extra) + 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (code >> 10));
            out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<wchar_t>(code);
        }
    }

    void StringValue()
    {
        std::wstring text;
        bool wide = false;
        char c = Peek();
        for (;;) {
            if (c == '\'') {
                ++pos_;
                for (;;) {
                    if (pos_ >= s_.size() || s_[pos_] == '\n' || s_[pos_] == '\r') Fail(L"文字列が閉じていません");
                    if (s_[pos_] == '\'') {
                        if (pos_ + 1 < s_.size() && s_[pos_ + 1] == '\'') {
                            text += L'\'';
                            pos_ += 2;
                            continue;
                        }
                        ++pos_;
                        break;
                    }
                    Utf8Char(text);
                }
            } else {
                ++pos_;  // #
                int64_t code = Number();
                if (code < 0 || code > 0xFFFF) Fail(L"文字コードが範囲外です");
                if (code > 127) wide = true;
                text += static_cast<wchar_t>(code);
            }
            // Parts join when they touch, or across "+"; a blank alone separates list values.
            c = pos_ < s_.size() ? s_[pos_] : '\0';
            if (c == '\'' || c == '#') continue;
            const size_t save = pos_;
            const int saveLine = line_;
            if (Peek() == '+') {
                ++pos_;
                c = Peek();
                if (c != '\'' && c != '#') Fail(L"+ の後に文字列がありません");
                continue;
            }
            pos_ = save;
            line_ = saveLine;
            break;
        }
        if (!wide && WideFromAnsi(AnsiFromWide(text)) != text) wide = true;
        if (wide) w_.WriteWideString(text);
        else w_.WriteString(AnsiFromWide(text));
    }

    void BinaryValue()
    {
        ++pos_;  // {
        std::string bytes;
        int high = -1;
        for (;;) {
            char c = Peek();
            if (c == '}') {
                ++pos_;
                break;
            }
            int v = HexValue(c);
            if (v < 0) Fail(L"バイナリデータが正しくありません");
            ++pos_;
            if (high < 0) {
                high = v;
            } else {
                bytes += static_cast<char>(high * 16 + v);
                high = -1;
            }
        }
        if (high >= 0) Fail(L"バイナリデータの桁数が奇数です");
        w_.WriteBinary(bytes.data(), static_cast<int32_t>(bytes.size()));
    }

    void Enter(int depth) const
    {
        if (depth > kMaxDepth) Fail(L"入れ子が深すぎます");
    }

    void Value(int depth)
    {
        Enter(depth);
        const char c = Peek();
        if (c == '-' || c == '+' || c == '$' || IsDigit(c)) {
            w_.WriteInteger(Number());
        } else if (c == '\'' || c == '#') {
            StringValue();
        } else if (c == '[') {
            ++pos_;
            w_.WriteValue(TValueKind::Set);
            if (Peek() != ']') {
                for (;;) {
                    w_.WriteStr(Ident(false));
                    if (Peek() == ',') {
                        ++pos_;
                        continue;
                    }
                    break;
                }
            }
            Expect(']');
            w_.WriteStr(std::string());
        } else if (c == '(') {
            ++pos_;
            w_.WriteListBegin();
            while (Peek() != ')') {
                if (pos_ >= s_.size()) Fail(L") がありません");
                Value(depth + 1);
            }
            ++pos_;
            w_.WriteListEnd();
        } else if (c == '{') {
            BinaryValue();
        } else if (c == '<') {
            ++pos_;
            w_.WriteValue(TValueKind::Collection);
            while (Peek() != '>') {
                if (!Keyword("item")) Fail(L"item がありません");
                if (Peek() == '[') {
                    ++pos_;
                    w_.WriteInteger(Number());
                    Expect(']');
                }
                w_.WriteListBegin();
                while (!Keyword("end")) {
                    if (pos_ >= s_.size()) Fail(L"end がありません");
                    Property(depth + 1);
                }
                w_.WriteListEnd();
            }
            ++pos_;
            w_.WriteListEnd();
        } else if (IsIdentStart(c)) {
            w_.WriteIdent(Ident(true));
        } else {
            Fail(L"値がありません");
        }
    }

    void Property(int depth)
    {
        w_.WriteStr(Ident(true));
        Expect('=');
        Value(depth);
    }

    void ParseObject(int depth)
    {
        Enter(depth);
        uint8_t flags = 0;
        if (Keyword("inherited")) flags = 1;
        else if (Keyword("inline")) flags = 4;
        else if (!Keyword("object")) Fail(L"object がありません");
        std::string name;
        std::string className = Ident(false);
        if (Peek() == ':') {
            ++pos_;
            name = className;
            className = Ident(false);
        }
        int64_t position = 0;
        if (Peek() == '[') {
            ++pos_;
            position = Number();
            Expect(']');
            flags |= 2;
        }
        w_.WritePrefix(flags, position);
        w_.WriteStr(className);
        w_.WriteStr(name);
        while (!AtObjectKeyword()) {
            SkipSpace();
            if (pos_ >= s_.size()) Fail(L"end がありません");
            if (Keyword("end")) {
                w_.WriteListEnd();
                w_.WriteListEnd();
                return;
            }
            Property(depth);
        }
        w_.WriteListEnd();
        while (!Keyword("end")) {
            if (pos_ >= s_.size()) Fail(L"end がありません");
            ParseObject(depth + 1);
        }
        w_.WriteListEnd();
    }

    const std::string& s_;
    TWriter& w_;
    size_t pos_ = 0;
    int line_ = 1;
};

std::string ReadRest(TStream& stream)
{
    const int64_t left = stream.Size() - stream.Position();
    if (left <= 0) return std::string();
    if (left > INT32_MAX) throw EReadError(std::wstring(L"フォームリソースが大きすぎます"));
    std::string bytes(static_cast<size_t>(left), '\0');
    stream.ReadBuffer(bytes.data(), static_cast<int32_t>(left));
    return bytes;
}

}  // namespace

void ObjectTextToBinary(TStream& input, TStream& output)
{
    const std::string text = ReadRest(input);
    TWriter writer(output);
    TextParser(text, writer).Run();
}

std::string ObjectTextToBinary(const std::string& text)
{
    TMemoryStream output;
    TWriter writer(output);
    TextParser(text, writer).Run();
    return output.Bytes();
}

bool IsTextFormResource(const std::string& head)
{
    size_t i = head.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (i < head.size() && (head[i] == ' ' || head[i] == '\t' || head[i] == '\r' || head[i] == '\n')) ++i;
    for (const char* word : {"object", "inherited", "inline"}) {
        const size_t n = std::strlen(word);
        if (i + n < head.size() && SameIdent(head.substr(i, n), word) && !IsIdentChar(head[i + n])) return true;
    }
    return false;
}

void ReadComponentFromStream(TStream& stream, TComponent* root)
{
    const std::string bytes = ReadRest(stream);
    if (bytes.size() >= 4 && bytes.compare(0, 4, "TPF0") == 0) {
        TMemoryStream binary(bytes);
        ReadBinaryComponent(binary, root);
        return;
    }
    if (!IsTextFormResource(bytes)) throw EReadError(std::wstring(L"フォームリソースの形式が正しくありません"));
    TMemoryStream binary(ObjectTextToBinary(bytes));
    ReadBinaryComponent(binary, root);
}

std::string FormResourceName(const TClassRecord& record)
{
    std::string name = record.Name();
    for (char& c : name) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return name;
}

void ReadComponentRes(TComponent* root, HINSTANCE module)
{
    TResourceStream resource(module, FormResourceName(root->GetClass()), MAKEINTRESOURCEA(10));
    ReadComponentFromStream(resource, root);
}
