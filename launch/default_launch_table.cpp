#include "launch/default_launch_table.h"

const std::vector<std::string>& DefaultLaunchTable()
{
    static const std::vector<std::string> lines = {
        "CimE=c:\\cim4\\cim_e\\CimatronE_Launcher.exe [-LANG German]",
        "Catiar2d=C:\\Cim4\\Cim_E\\IT\\var\\catiar2d\\modview.exe",
        "DelWa=C:\\Cim4\\Cim_E\\delwa.bat",
        "DelDi=C:\\Cim4\\Cim_E\\deldi.bat",
        "DelVerif=C:\\Cim4\\Cim_E\\delverif.bat",
        "HotLine=C:\\Cim4\\Cim_E\\hotlineinfo.exe",
        "Browser=C:\\Cim4\\Cim_E\\cimxplor.exe",
        "CimZip=C:\\Cim4\\Cim_E\\cimzip.exe",
        "Simula=C:\\Cim4\\Cim_E\\IT\\bin\\ncverify.exe",
        "Verifier=C:\\Cim4\\Cim_E\\IT\\bin\\ncvsolid.exe",
        "IMSPost=C:\\Cim4\\Cim_E\\imspost.exe",
        "PostExe=C:\\Cim4\\Cim_E\\postexe.bat",
        "DrahtEr=C:\\Cim4\\Cim_E\\fikus.bat",
        "QDrill=C:\\Cim4\\Cim_E\\quickdrill\\quickdrill.exe",
        "DFPost=C:\\Cim4\\Cim_E\\dfstrd.exe [p]",
        "Dfexf=C:\\Cim4\\Cim_E\\dfexf.exe",
        "NCDoku=C:\\Cim4\\Cim_E\\ncdocsetup.exe",
        "DfDraft=C:\\Cim4\\Cim_E\\dfstrd.exe [d]",
        "GetID=C:\\Cim4\\Cim_E\\getids.exe",
        "licinfo=C:\\Cim4\\Cim_E\\licinfo.exe",
        "dtf2ctf=C:\\Cim4\\Cim_E\\dtfconvert.exe",
        "DocConv=C:\\Cim4\\Cim_E\\Doc_Convert.exe",
        "Farben=C:\\Cim4\\Cim_E\\CimSchem.exe [Colors]",
        "DIPref=C:\\Cim4\\Cim_E\\cimschem.exe [di]",
        "dirsize=C:\\Cim4\\Cim_E\\dirsize.exe",
        "ciminfo=C:\\Cim4\\Cim_E\\ciminfo.exe",
    };
    return lines;
}
