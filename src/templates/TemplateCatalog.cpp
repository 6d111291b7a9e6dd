#include "TemplateCatalog.h"

// Placeholder until the catalog lands.
int TemplateCatalog::Scan(const QString&) { return 0; }
void TemplateCatalog::Clear()
{
    bitmaps.clear();
    paths.clear();
}
int TemplateCatalog::Count() const { return int(paths.size()); }
bool TemplateCatalog::IsValidIndex(int i) const { return i >= 0 && i < Count(); }
QImage TemplateCatalog::BitmapAt(int i) const { return IsValidIndex(i) ? bitmaps[size_t(i)] : QImage(); }
QString TemplateCatalog::PathAt(int i) const { return IsValidIndex(i) ? paths[i] : QString(); }
QString DefaultTemplatesFolder() { return {}; }
