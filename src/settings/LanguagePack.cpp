#include "settings/LanguagePack.h"

#include "resources/StringTable.h"

std::string LoadLanguageString(unsigned id)
{
    return LoadBuiltinString(id);
}
