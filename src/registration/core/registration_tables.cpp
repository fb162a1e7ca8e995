#include "registration/core/registration_tables.h"

namespace kci {

// clang-format off
const std::array<const wchar_t*, kReservedPortCount> kNetshLines = {
    L"http add urlacl url=http://+:8191/ D:(A;;GX;;;BU)",
    L"http add urlacl url=http://+:44440/ D:(A;;GX;;;BU)",
    L"http add urlacl url=http://+:44441/ D:(A;;GX;;;BU)",
    L"http add urlacl url=http://+:44442/ D:(A;;GX;;;BU)",
    L"http add urlacl url=http://+:44443/ D:(A;;GX;;;BU)",
    L"http add urlacl url=http://+:44444/ D:(A;;GX;;;BU)",
    L"http add urlacl url=http://+:44445/ D:(A;;GX;;;BU)",
    L"http add urlacl url=http://+:44446/ D:(A;;GX;;;BU)",
    L"http add urlacl url=http://+:44447/ D:(A;;GX;;;BU)",
    L"http add urlacl url=http://+:44448/ D:(A;;GX;;;BU)",
    L"http add urlacl url=http://+:44449/ D:(A;;GX;;;BU)",
    L"http add urlacl url=http://+:44450/ D:(A;;GX;;;BU)",
    L"http add urlacl url=http://+:44451/ D:(A;;GX;;;BU)",
    L"http add urlacl url=http://+:44452/ D:(A;;GX;;;BU)",
};

const std::array<const wchar_t*, kReservedPortCount> kHttpcfgLines = {
    L"set urlacl /u http://+:8191/ /a D:(A;;GX;;;BU)",
    L"set urlacl /u http://+:44440/ /a D:(A;;GX;;;BU)",
    L"set urlacl /u http://+:44441/ /a D:(A;;GX;;;BU)",
    L"set urlacl /u http://+:44442/ /a D:(A;;GX;;;BU)",
    L"set urlacl /u http://+:44443/ /a D:(A;;GX;;;BU)",
    L"set urlacl /u http://+:44444/ /a D:(A;;GX;;;BU)",
    L"set urlacl /u http://+:44445/ /a D:(A;;GX;;;BU)",
    L"set urlacl /u http://+:44446/ /a D:(A;;GX;;;BU)",
    L"set urlacl /u http://+:44447/ /a D:(A;;GX;;;BU)",
    L"set urlacl /u http://+:44448/ /a D:(A;;GX;;;BU)",
    L"set urlacl /u http://+:44449/ /a D:(A;;GX;;;BU)",
    L"set urlacl /u http://+:44450/ /a D:(A;;GX;;;BU)",
    L"set urlacl /u http://+:44451/ /a D:(A;;GX;;;BU)",
    L"set urlacl /u http://+:44452/ /a D:(A;;GX;;;BU)",
};

const std::array<const wchar_t*, kReservedPortCount> kNetshUndoLines = {
    L"http delete urlacl url=http://+:8191/",
    L"http delete urlacl url=http://+:44440/",
    L"http delete urlacl url=http://+:44441/",
    L"http delete urlacl url=http://+:44442/",
    L"http delete urlacl url=http://+:44443/",
    L"http delete urlacl url=http://+:44444/",
    L"http delete urlacl url=http://+:44445/",
    L"http delete urlacl url=http://+:44446/",
    L"http delete urlacl url=http://+:44447/",
    L"http delete urlacl url=http://+:44448/",
    L"http delete urlacl url=http://+:44449/",
    L"http delete urlacl url=http://+:44450/",
    L"http delete urlacl url=http://+:44451/",
    L"http delete urlacl url=http://+:44452/",
};

const std::array<const wchar_t*, kReservedPortCount> kHttpcfgUndoLines = {
    L"delete urlacl /u http://+:8191/",
    L"delete urlacl /u http://+:44440/",
    L"delete urlacl /u http://+:44441/",
    L"delete urlacl /u http://+:44442/",
    L"delete urlacl /u http://+:44443/",
    L"delete urlacl /u http://+:44444/",
    L"delete urlacl /u http://+:44445/",
    L"delete urlacl /u http://+:44446/",
    L"delete urlacl /u http://+:44447/",
    L"delete urlacl /u http://+:44448/",
    L"delete urlacl /u http://+:44449/",
    L"delete urlacl /u http://+:44450/",
    L"delete urlacl /u http://+:44451/",
    L"delete urlacl /u http://+:44452/",
};

const wchar_t kStrongNamePublicKey[] =
    L"00240000048000009400000006020000002400005253413100040000010001002DB97584D175FCFD"
    L"F75853C6A1A56977BE6A5C7149C1F5B9471AE00794523B211C7B9CB796239609D684D9A3763011B3"
    L"FA17EF9880AFD89891CF8CB543B0A49D5D0673B7898FE126013CEA02FD775660451C3C31BDBAC863"
    L"D9150A9918E5B45509B931C4778684F61488D6E6841A199AFE3D81AD1720EACD3FBFB117EF8499BC";

const std::array<CaspolLine, kCaspolLineCount> kCaspolLines = {
    CaspolLine().ByFile().Head(L"-polchgprompt off -enterprise -addgroup 1 -allcode Nothing -name \"TenvorSmartTags\" "
                               L"-enterprise -addgroup TenvorSmartTags -strong -file \""),
    CaspolLine().ByKey().Head(L"-polchgprompt off -enterprise -addgroup 1 -allcode Nothing -name \"TenvorSmartTags\" "
                              L"-enterprise -addgroup TenvorSmartTags -strong -hex"),
    CaspolLine().ByFile().Head(L"-polchgprompt off -machine -addgroup 1 -allcode Nothing -name \"TenvorSmartTags\" "
                               L"-machine -addgroup TenvorSmartTags -strong -file \""),
    CaspolLine().ByKey().Head(L"-polchgprompt off -machine -addgroup 1 -allcode Nothing -name \"TenvorSmartTags\" "
                              L"-machine -addgroup TenvorSmartTags -strong -hex"),
};

const std::array<const wchar_t*, kCaspolUndoLineCount> kCaspolUndoLines = {
    L"-polchgprompt off -enterprise -remgroup TenvorSmartTags",
    L"-polchgprompt off -machine -remgroup TenvorSmartTags",
};

const wchar_t kCaspolKeyTail[] = L" -noname -noversion FullTrust -name \"PersonName\"";

const CaspolAction kCaspolProduct = CaspolAction().AssemblyTail(
    L"Dial Assist\\add-ins\\namecard\\TenvorNameCard.dll\" TenvorNameCard -noversion FullTrust -name \"PersonName\"");

const CaspolAction kCaspolClickToCall =
    CaspolAction()
        .AssemblyTail(
            L"add-ins\\smarttag\\plugin\\TenvorNameCard.dll\" TenvorNameCard -noversion FullTrust -name \"PersonName\"")
        .LogsWholeLines()
        .ExitLine(L"Exiting CaspolOperationsC2C");

const std::array<const wchar_t*, kNativeImageAssemblyCount> kNativeImageAssemblies = {
    L"LinkBridges.dll",
    L"Tenvor.Qm.Desks.Shared.ViewThemePack.dll",
    L"Tenvor.Qm.Desks.Shared.ViewThemeTools.dll",
    L"Tenvor.Qm.Desks.Shared.ViewHostProxy.dll",
    L"Tenvor.Qm.Desks.Shared.ViewTools.dll",
    L"Tenvor.Qm.Desks.Chat.Hosts.dll",
    L"CoreLinkBridges.dll",
    L"tracekit.dll",
    L"View.DropButton.dll",
    L"lorimoc.exe",
    L"Interop.ChatDeskAPI.dll",
    L"Interop.ChatDeskPrivate.dll",
    L"Interop.MailGate.dll",
    L"Dial Assist\\Tenvor.DialAssist.Shared.ComBridge.dll",
    L"Dial Assist\\Tenvor.DialAssist.Shared.Kernel.dll",
    L"Dial Assist\\add-ins\\people\\TenvorDialAssistPeople.dll",
    L"Dial Assist\\add-ins\\namecard\\TenvorNameCard.dll",
};
// clang-format on

const wchar_t* NgenPrefix(NgenMode mode) {
    return mode == NgenMode::Install ? L"/nologo /silent \"" : L"uninstall /nologo /silent \"";
}

}  // namespace kci
