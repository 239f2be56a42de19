#pragma once
// The controls of the band form and the few operations the form asks of its input box, in one
// place. Until the flat controls are in the tree the form stands on the class library's speed
// button and combo box; the accessors below hide the difference.
#include <string>

#include "Buttons.h"
#include "StdCtrls.h"
#include "SysUtils.h"

using TFlatSpeedButton = TSpeedButton;
using TFlatComboBox = TCustomComboBox;

namespace querybox {

inline std::wstring Text(TFlatComboBox* box) { return WideFromAnsi(box->Text()); }
inline void SetText(TFlatComboBox* box, const std::wstring& text) { box->SetText(AnsiFromWide(text)); }
inline int Count(TFlatComboBox* box) { return box->Items()->ItemCount(); }
inline std::wstring Item(TFlatComboBox* box, int index) { return WideFromAnsi(box->Items()->ItemAt(index)); }
inline int Find(TFlatComboBox* box, const std::wstring& text) { return box->Items()->PositionOf(AnsiFromWide(text)); }
inline void Remove(TFlatComboBox* box, int index) { box->Items()->RemoveAt(index); }
inline void Insert(TFlatComboBox* box, int index, const std::wstring& text) { box->Items()->InsertAt(index, AnsiFromWide(text)); }
inline void Append(TFlatComboBox* box, const std::wstring& text) { box->Items()->AppendItem(AnsiFromWide(text)); }
inline void SetHovered(TFlatComboBox*, bool) {}

}  // namespace querybox
