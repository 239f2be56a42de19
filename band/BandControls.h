#pragma once
// The controls of the band form and the few operations the form asks of its input box, in one
// place. Until the flat combo box is in the tree the input box is the plain Unicode combo box;
// the accessors below hide the difference.
#include <string>

#include "SysUtils.h"
#include "TFlatSpeedButtonUnit.h"
#include "WideStdCtrls.h"

using TFlatComboBox = TWideComboBox;

namespace querybox {

inline std::wstring Text(TFlatComboBox* box) { return box->Text(); }
inline void SetText(TFlatComboBox* box, const std::wstring& text) { box->SetText(text); }
inline int Count(TFlatComboBox* box) { return box->Items()->ItemCount(); }
inline std::wstring Item(TFlatComboBox* box, int index) { return box->Items()->ItemAt(index); }
inline int Find(TFlatComboBox* box, const std::wstring& text) { return box->Items()->PositionOf(text); }
inline void Remove(TFlatComboBox* box, int index) { box->Items()->RemoveAt(index); }
inline void Insert(TFlatComboBox* box, int index, const std::wstring& text) { box->Items()->InsertAt(index, text); }
inline void Append(TFlatComboBox* box, const std::wstring& text) { box->Items()->AppendItem(text); }
inline void SetHovered(TFlatComboBox*, bool) {}

}  // namespace querybox
