#include "shell/registration_texts.h"

#include "framework/path.h"
#include "framework/text.h"
#include "shell/registered_application.h"
#include "variants/variant.h"
#include "variants/version_info.h"

using enum RowText;

int RegistrationTexts::Form(const wchar_t* installFolder)
{
    if (!CopyText(folder, installFolder))
        return 0;
    TrimSpaces(folder);
    int ok = AppendBackslash(folder);
    ok &= FormatText(executable, kRegistrationTextSize, L"%ls%ls", folder, variant::kMainProgram);
    ok &= FormatText(openCommand, kRegistrationTextSize, L"\"%ls\" \"%%1\"", executable);
    ok &= FormatText(verbCommand, kRegistrationTextSize, L"%ls /thumbs", openCommand);
    ok &= FormatText(displayName, kRegistrationTextSize, L"Pictarn %d.%d%ls", variant::kVersionMajor,
                     variant::kVersionMinor, variant::kDisplayNameSuffix);
    ok &= FormatText(uninstallString, kRegistrationTextSize, L"\"%ls%ls\"", folder, variant::kUninstallerFile);
    ok &= FormatText(quietUninstallString, kRegistrationTextSize, L"%ls /silent", uninstallString);
    ok &= FormatText(displayVersion, kRegistrationTextSize, L"%d.%d", variant::kVersionMajor, variant::kVersionMinor);
    ok &= FormatText(displayIcon, kRegistrationTextSize, L"%ls,0", executable);
    ok &= FormatText(quotedExecutable, kRegistrationTextSize, L"\"%ls\"", executable);
    return ok;
}

const wchar_t* RegistrationTexts::Text(RowText id) const
{
    switch (id) {
    case kVerbName: return kVerb;
    case kVerbCommand: return verbCommand;
    case kProductWord: return variant::kProductFolderName;
    case kOpenCommand: return openCommand;
    case kFriendlyName: return variant::kFriendlyAppName;
    case kDisplayName: return displayName;
    case kUninstallString: return uninstallString;
    case kQuietUninstallString: return quietUninstallString;
    case kPublisher: return L"" PT_COMPANY_NAME;
    case kFolder: return folder;
    case kDisplayVersion: return displayVersion;
    case kDisplayIcon: return displayIcon;
    case kQuotedExecutable: return quotedExecutable;
    case kApplicationDescription:
        return L"Picture viewer, editor and converter - one of the most popular viewers worldwide";
    case kCapabilitiesPath: return CapabilitiesPathOfThisBuild();
    case kEmpty:
    case kNoText:
    case kTextCount: break;
    }
    return L"";
}
