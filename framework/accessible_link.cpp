#include "framework/accessible_link.h"

#include "framework/system_library.h"

#include <oleacc.h>

#include <new>

namespace {

// The accessibility library's entry points, from the system folder on first use, kept for the run.
struct Oleacc {
    decltype(&CreateStdAccessibleObject) createStandard = nullptr;
    decltype(&LresultFromObject) resultFromObject = nullptr;
    decltype(&SysAllocString) allocString = nullptr;
};

// Filled on first use, on the window's thread; constant-initialised, so no guarded static (and
// none of the C++ runtime's exception support it would bring in).
const Oleacc& Library()
{
    static Oleacc library;
    static bool loaded = false;
    if (loaded)
        return library;
    loaded = true;
    if (HMODULE oleacc = LoadSystemLibrary(L"oleacc.dll")) {
        library.createStandard = ProcAddress<decltype(&CreateStdAccessibleObject)>(oleacc, "CreateStdAccessibleObject");
        library.resultFromObject = ProcAddress<decltype(&LresultFromObject)>(oleacc, "LresultFromObject");
    }
    if (HMODULE oleaut = LoadSystemLibrary(L"oleaut32.dll"))
        library.allocString = ProcAddress<decltype(&SysAllocString)>(oleaut, "SysAllocString");
    return library;
}

bool IsSelf(const VARIANT& child)
{
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

// Windows' description of the window, with what makes it a link put over it.
class LinkObject final : public IAccessible {
public:
    LinkObject(HWND window, IAccessible* standard) : m_window(window), m_standard(standard) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDispatch) || IsEqualIID(id, IID_IAccessible)) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&m_references); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&m_references);
        if (left == 0) {
            m_standard->Release();
            this->~LinkObject();
            HeapFree(GetProcessHeap(), 0, this);  // made on the process heap below
        }
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return m_standard->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { return m_standard->get_accChildCount(count); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override
    {
        return m_standard->get_accChild(child, object);
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override { return m_standard->get_accName(child, name); }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
        return m_standard->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override
    {
        return m_standard->get_accDescription(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        if (!IsSelf(child))
            return m_standard->get_accRole(child, role);
        role->vt = VT_I4;
        role->lVal = ROLE_SYSTEM_LINK;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
    {
        const HRESULT result = m_standard->get_accState(child, state);
        if (SUCCEEDED(result) && IsSelf(child) && state->vt == VT_I4) {
            state->lVal |= STATE_SYSTEM_LINKED | STATE_SYSTEM_FOCUSABLE;
            if (GetFocus() == m_window)
                state->lVal |= STATE_SYSTEM_FOCUSED;
        }
        return result;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override { return m_standard->get_accHelp(child, help); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override
    {
        return m_standard->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override
    {
        return m_standard->get_accKeyboardShortcut(child, keys);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return m_standard->get_accFocus(child); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override { return m_standard->get_accSelection(children); }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override
    {
        if (!IsSelf(child))
            return m_standard->get_accDefaultAction(child, action);
        // The word Windows' own links give.
        *action = Library().allocString ? Library().allocString(L"Jump") : nullptr;
        return *action ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override { return m_standard->accSelect(flags, child); }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override
    {
        return m_standard->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override
    {
        return m_standard->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override { return m_standard->accHitTest(x, y, child); }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        if (!IsSelf(child))
            return m_standard->accDoDefaultAction(child);
        // Posted: the reader's call returns before the browser is asked.
        PostMessageW(GetParent(m_window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(m_window), STN_CLICKED),
                     reinterpret_cast<LPARAM>(m_window));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override { return m_standard->put_accName(child, name); }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override
    {
        return m_standard->put_accValue(child, value);
    }

private:
    ~LinkObject() = default;

    HWND m_window;
    IAccessible* m_standard;
    LONG m_references = 1;
};

}  // namespace

LRESULT AnswerAsLink(HWND window, WPARAM wParam, LPARAM lParam)
{
    if (static_cast<LONG>(lParam) != OBJID_CLIENT)
        return 0;
    const Oleacc& library = Library();
    IAccessible* standard = nullptr;
    if (!library.createStandard || !library.resultFromObject || !library.allocString
        || FAILED(library.createStandard(window, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&standard))))
        return 0;
    // On the process heap: the C++ allocator would bring its exception support into the program.
    void* memory = HeapAlloc(GetProcessHeap(), 0, sizeof(LinkObject));
    if (!memory) {
        standard->Release();
        return 0;
    }
    LinkObject* link = new (memory) LinkObject(window, standard);
    const LRESULT result = library.resultFromObject(IID_IAccessible, wParam, link);
    link->Release();  // the result holds its own reference
    return result < 0 ? 0 : result;
}
