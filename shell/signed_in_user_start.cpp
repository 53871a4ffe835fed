#include "shell/signed_in_user_start.h"

#include "framework/folder_access.h"
#include "framework/handles.h"

#include <windows.h>
#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlobj.h>
#include <shlguid.h>

namespace {

// A string COM can carry to another process, freed with SysFreeString.
struct SysFreeStringCall { void operator()(BSTR text) const { SysFreeString(text); } };
using ComString = UniqueResource<NullIsInvalid<BSTR, SysFreeStringCall>>;

template <typename Interface>
ComPtr<Interface> Query(IUnknown* object, REFIID id)
{
    ComPtr<Interface> result;
    if (object != nullptr)
        object->QueryInterface(id, reinterpret_cast<void**>(result.Receive()));
    return result;
}

VARIANT TextVariant(BSTR text)
{
    VARIANT value = {};
    value.vt = VT_BSTR;
    value.bstrVal = text;
    return value;
}

// The Shell.Application object of the running desktop, reached through the desktop's own view:
// one made here with CoCreateInstance would run in this process, with its rights.
ComPtr<IShellDispatch2> DesktopShell()
{
    ComPtr<IShellWindows> windows;
    CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                     reinterpret_cast<void**>(windows.Receive()));
    if (!windows)
        return {};
    VARIANT desktop = {};
    desktop.vt = VT_I4;
    desktop.lVal = CSIDL_DESKTOP;
    VARIANT none = {};
    long window = 0;
    ComPtr<IDispatch> browserWindow;
    if (windows.Get()->FindWindowSW(&desktop, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, browserWindow.Receive())
        != S_OK)
        return {};
    ComPtr<IServiceProvider> services = Query<IServiceProvider>(browserWindow.Get(), IID_IServiceProvider);
    ComPtr<IShellBrowser> browser;
    ComPtr<IShellView> view;
    ComPtr<IDispatch> background;
    if (!services
        || FAILED(services.Get()->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                               reinterpret_cast<void**>(browser.Receive())))
        || !browser || FAILED(browser.Get()->QueryActiveShellView(view.Receive())) || !view
        || FAILED(view.Get()->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch,
                                            reinterpret_cast<void**>(background.Receive()))))
        return {};
    ComPtr<IShellFolderViewDual> folderView = Query<IShellFolderViewDual>(background.Get(), IID_IShellFolderViewDual);
    ComPtr<IDispatch> application;
    if (!folderView || FAILED(folderView.Get()->get_Application(application.Receive())))
        return {};
    return Query<IShellDispatch2>(application.Get(), IID_IShellDispatch2);
}

}  // namespace

bool OpenThroughDesktopShell(const wchar_t* file, const wchar_t* parameters)
{
    ComApartment apartment;
    ComPtr<IShellDispatch2> shell = DesktopShell();
    ComString name(SysAllocString(file));
    ComString arguments(SysAllocString(parameters ? parameters : L""));
    ComString verb(SysAllocString(L"open"));
    if (!shell || !name || !arguments || !verb)
        return false;
    VARIANT show = {};
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    VARIANT none = {};
    // S_FALSE: the shell tried and could not (Wine says so; Windows answers before it tries).
    return shell.Get()->ShellExecute(name.Get(), TextVariant(arguments.Get()), none, TextVariant(verb.Get()), show)
           == S_OK;
}

bool MayOpenWithOwnRights()
{
    return !RunsAsAdministrator();
}

bool OpenAsSignedInUser(const wchar_t* file, const wchar_t* parameters)
{
    // Started by this process, the product or a browser would run with its administrator rights
    // on the user's desktop, where the user may have ended the shell to have it so.
    if (!MayOpenWithOwnRights())
        return OpenThroughDesktopShell(file, parameters);
    return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", file, parameters, nullptr, SW_SHOWNORMAL)) > 32;
}
