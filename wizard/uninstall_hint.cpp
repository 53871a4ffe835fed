#include "wizard/uninstall_hint.h"

#include "res/resource.h"

unsigned UninstallHintId(const WindowsRelease& release, bool groupLinkMade)
{
    if (groupLinkMade)
        return IDS_UNINSTALL_FROM_GROUP;
    if (release.major >= 10)
        return IDS_UNINSTALL_FROM_SETTINGS;
    return release.major < 6 ? IDS_UNINSTALL_FROM_ADD_REMOVE : IDS_UNINSTALL_FROM_CONTROL_PANEL;
}
