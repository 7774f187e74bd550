#include "launch_keys.h"

#include <cstring>

const std::array<LaunchKey, 26>& LaunchKeys()
{
    static constexpr std::array<LaunchKey, 26> keys = {{
        {"CimE", "CimE"},
        {"CatiaR2D", "CatiaR2D"},
        {"DeleteWa", "Delwa"},
        {"DelDi", "DelDi"},
        {"Hotline", "Hotline"},
        {"DelVerif", "DelVerif"},
        {"Browser", "Browser"},
        {"CimZip", "CimZip"},
        {"Simula", "Simula"},
        {"Verifier", "Verifier"},
        {"IMSPost", "IMSPost"},
        {"PostEXE", "PostExe"},
        {"Drahterodieren", "Drahter"},
        {"QDrill", "qdrill"},
        {"DefPost", "DFPost"},
        {"Dfexf", "Dfexf"},
        {"NcDoc", "NcDoku"},
        {"DfDraft", "DfDraft"},
        {"GetID", "GetID"},
        {"LicInfo", "LicInfo"},
        {"Dtf2Ctf", "Dtf2Ctf"},
        {"DocConv", "DocConv"},
        {"Farben", "Farben"},
        {"DIPref", "DIPref"},
        {"DIRSize", "Dirsize"},
        {"CimInfo", "CimInfo"},
    }};
    return keys;
}

const char* LaunchKeyOf(const char* action)
{
    if (action == nullptr)
        return nullptr;
    for (const LaunchKey& entry : LaunchKeys()) {
        if (std::strcmp(entry.action, action) == 0)
            return entry.key;
    }
    return nullptr;
}
