// The option-table routines on Qt drop-down lists.
//
// The routines of settings/OptionTables.h work on an OptionList; these
// overloads copy a QComboBox's items and selection into one, run the routine
// and put the result back, so windows call them directly on their lists.
#pragma once

#include "core/OptionTables.h"

class QComboBox;

namespace OptionTables {

OptionList ToOptionList(const QComboBox* combo);
// Replaces the combo's items when they differ and sets its selection.
void ApplyOptionList(QComboBox* combo, const OptionList& list);

void SelectByCode(QComboBox* combo, const QString& value);
void SelectByText(QComboBox* combo, const QString& value);
void SelectByTextExact(QComboBox* combo, const QString& value);
QString KvWordList(QComboBox* combo, const QString& value, int index, const QStringList& words);
void FillSpeedList(QComboBox* combo, const QString& model);
void FillNumberList(QComboBox* combo, int n);
void FillTsplCodepages(QComboBox* combo);
void FillZplCodepages(QComboBox* combo);
void FillEplCodepages(QComboBox* combo);
void FillCodepageList(QComboBox* combo);

} // namespace OptionTables
