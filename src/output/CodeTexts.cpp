#include "CodeTexts.h"

// Placeholder until the code block lands.
bool CodeTexts::LoadTextResources() { return false; }
void CodeTexts::BuildCode(const QByteArray&, const QByteArray&, const AdSettings&) {}
