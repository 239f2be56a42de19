#pragma once
// The text form of form resources, and loading a form's components from its resource.
//
// The text is UTF-8 (a byte-order mark is allowed):
//
//     object kervoOKDlg: TkervoOKDlg
//       Caption = 'TkervoOKDlg'
//       Font.Name = 'ＭＳ Ｐゴシック'
//       BorderIcons = [biSystemMenu, biHelp]
//       OnCreate = FormCreate
//       object ComboBoxShift1: TWideComboBox
//         Items.WideStrings = ('Ctrl+' 'Shift+Ctrl+')
//         Text_UTF7 = 'Shift+-Ctrl+-'
//       end
//     end
//
// Values: integers (decimal, or hexadecimal after "$"), identifiers (True, False and nil are their
// own kinds), strings, lists ( ... ), sets [a, b], binary data {hex digits} and collections
// <item ... end item ... end>. A string is made of quoted parts ('' is a quote) and character
// codes (#13, #$2028), joined directly or with "+" across lines. A string is stored as a
// single-byte (ANSI) string unless it holds a character code above 127 or a character that the
// ANSI code page cannot hold: then it is stored as a wide string, by the same rule as the writer's
// wide strings. So a writer's output is reproduced by a text that writes the non-ASCII characters
// of its wide strings as character codes.
#include <string>

#include "Filer.h"
#include "Streams.h"

// A text that does not parse; a reader error, with the line where it went wrong.
class EParserError : public EReadError {
public:
    EParserError(const std::wstring& message, int line);
    int Line() const { return line_; }

private:
    int line_;
};

// The one converter from the text form to the binary form.
void ObjectTextToBinary(TStream& input, TStream& output);
std::string ObjectTextToBinary(const std::string& text);

// True when the bytes begin like the text form (after a byte-order mark and blanks: "object",
// "inherited" or "inline").
bool IsTextFormResource(const std::string& head);

// Reads a resource in either form, from the stream's position, into the root.
void ReadComponentFromStream(TStream& stream, TComponent* root);

// The RCDATA name of a class's form resource: its class name in upper case.
std::string FormResourceName(const TClassRecord& record);

// Finds the form resource of the root's class in the module (EResNotFound when missing) and
// reads it into the root.
void ReadComponentRes(TComponent* root, HINSTANCE module = CurrentModuleInstance());
