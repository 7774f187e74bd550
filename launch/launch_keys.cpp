#include "launch_keys.h"

const std::array<LaunchKey, 26>& LaunchKeys()
{
    static const std::array<LaunchKey, 26> keys = {{
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
