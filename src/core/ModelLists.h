// The model lists of "PrinterTypeList_Label.ini": which models get which
// window, option or reply layout.
#pragma once

#include <QString>
#include <QStringList>

namespace pellum::models {

// True when `model` followed by "," occurs in `listValue` (case-sensitive
// substring test, nothing split or trimmed). An empty model is in no list.
bool ListContainsModel(const QString& listValue, const QString& model);

// The value of a model list of "PrinterTypeList_Label.ini". The lists that the
// main window caches (CacheModelLists) come from the cache, the others are
// read from the file at this moment.
QString ModelListValue(const QString& listKey);

// True when `model` is in the model list `listKey`.
bool ModelIn(const QString& listKey, const QString& model);

// Reads the cached model lists once (the main window does this when first
// shown); later edits of the file are not seen for them.
void CacheModelLists();
// Forgets the cache (for tests that change the model-list file).
void ClearModelListCache();

// The keys whose values CacheModelLists keeps.
const QStringList& CachedModelListKeys();

} // namespace pellum::models
