// The numbers of the message catalogue's texts, for code on any platform.
#pragma once

namespace kci {

// Text numbers in the string table.
enum TextId : unsigned {
    kTextUpdatingProgress = 1,
    kTextCheckingQdnDriverOpen = 2,
    kTextFilesInUseHeading = 3,
    kTextDialette = 4,
    kTextPelago = 5,
    kTextReportHeader = 6,
    kTextReportFooter = 7,
    kTextQdnInstallError = 8,
    kTextQdnDriverInstallFailed = 9,
    kTextFilterInstallFailed = 10,
    kTextQdnMarkedForDeletion = 11,
    kTextQdnSeeDriverLog = 12,
    kTextRtmxInstallFailed = 13,
    kTextPrecertReported = 14,
    kTextPrecertConflicts = 15,
    kTextPrecertFailed = 16,
    kTextRemovingLogs = 17,
    kTextLogRemovalFailed = 18,
    kTextLogRemovalError = 19,
    kTextLogRemovalAdvice = 20,
    kTextQdnUninstallerMissing = 21,
    kTextQdnUninstallError = 22,
    kTextQdnDriverUninstallFailed = 23,
    kTextFilterUninstallFailed = 24,
    kTextRtmxUninstallError = 25,
    kTextRtmxPathMissing = 26,
    kTextCameraInstallError = 27,
    kTextCameraUninstallError = 28,
    kTextCameraUninstallerMissing = 29,
    kTextPromptFailed = 30,
    kTextErrorCaption = 31,
    kTextChorale = 32,
    kTextMeridia = 33,
    kTextOutlook = 34,
    kTextCommunicator = 35,
    kTextWord = 36,
    kTextExcel = 37,
    kTextFirefox = 38,
    kTextInternetExplorer = 39,
    kTextPowerPoint = 40,
    kTextCheckingProcesses = 41,
    kTextCaspolOperations = 42,
};

}  // namespace kci
