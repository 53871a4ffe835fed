// The Associations page: the format list with a check box per row, greyed out until the
// user asks to change associations.
#include "framework/gdi_handles.h"
#include "framework/system_colours.h"
#include "model/format_table.h"
#include "variants/variant.h"
#include "variants/windows_version.h"
#include "wizard/wizard_page.h"
#include "wizard/wizard_sheet.h"

#include <commctrl.h>

namespace {

constexpr COLORREF kGreyBackground = RGB(192, 192, 192);
constexpr COLORREF kGreyText = RGB(255, 128, 0);
constexpr UINT kUnchecked = INDEXTOSTATEIMAGEMASK(1);
constexpr UINT kChecked = INDEXTOSTATEIMAGEMASK(2);

void AddColumn(HWND list, int index, int width, const wchar_t* header)
{
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(header);
    column.iSubItem = index;
    ListView_InsertColumn(list, index, &column);
}

void SetRows(HWND list, int first, int last, UINT state)
{
    for (int row = first; row <= last; ++row)
        ListView_SetItemState(list, row, state, LVIS_STATEIMAGEMASK);
}

}  // namespace

void InsertFormatRow(HWND list, const wchar_t* label, const wchar_t* name, int index)
{
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(label);
    ListView_InsertItem(list, &item);
    ListView_SetItemText(list, index, 1, const_cast<wchar_t*>(name));
}

void CWizPropertyPage::ActivateAssociations()
{
    if (!variant::kIs32Bit || IsVistaOrLater())
        ShowWindow(Item(IDC_ASSOC_ALL_USERS), SW_HIDE);
    if (!m_pSheet->m_hAssocList) {
        HWND list = Item(IDC_FORMAT_LIST);
        m_pSheet->m_hAssocList = list;
        if (m_crListText == 0xFFFFFFFF) {
            m_crListBk = ListView_GetBkColor(list);
            m_crListText = ListView_GetTextColor(list);
        }
        ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
        RECT bounds{};
        GetWindowRect(list, &bounds);
        const int width = bounds.right - bounds.left;
        // Headers a screen reader names each column by.
        AddColumn(list, 0, width / 3, L"Format");
        AddColumn(list, 1, 2 * width / 3 - MulDiv(25, PixelsPerInch(list), 96), L"Description");
        for (int row = 0; row < kFormatRowCount; ++row)
            InsertFormatRow(list, kFormatTable[row].Label(), kFormatTable[row].DisplayName(), row);
        // Focus entering the list lands on a row, so Space checks it without an arrow key first.
        ListView_SetItemState(list, 0, LVIS_FOCUSED, LVIS_FOCUSED);
        // An update offers again the formats that lead to the installation it updates.
        if (m_pSheet->m_updating && m_pSheet->m_earlier.anyFormat) {
            SetChecked(IDC_REGISTRY_ASSOC, true);
            EnableAssocList(true, m_crListBk, m_crListText);
            for (int row = 0; row < kFormatRowCount; ++row)
                SetRows(list, row, row, m_pSheet->m_earlier.formats[row] ? kChecked : kUnchecked);
        }
    }
    if (!IsChecked(IDC_REGISTRY_ASSOC))
        GreyOutAssocList();
}

// Orange on grey, unless a high-contrast scheme asks for the system's colours of something disabled.
void CWizPropertyPage::GreyOutAssocList()
{
    const bool highContrast = HighContrastOn();
    EnableAssocList(false, ShownColour(kGreyBackground, COLOR_BTNFACE, highContrast),
                    ShownColour(kGreyText, COLOR_GRAYTEXT, highContrast));
}

void CWizPropertyPage::EnableAssocList(bool enable, COLORREF background, COLORREF text)
{
    HWND list = m_pSheet->m_hAssocList;
    if (!list)
        return;
    EnableWindow(list, enable ? TRUE : FALSE);
    ListView_SetBkColor(list, background);
    ListView_SetTextBkColor(list, background);
    ListView_SetTextColor(list, text);
    InvalidateRect(list, nullptr, TRUE);
    EnableItem(IDC_IMAGES_ONLY, enable);
    EnableItem(IDC_SELECT_ALL, enable);
    EnableItem(IDC_SELECT_NONE, enable);
}

void CWizPropertyPage::OnRegistryAssocClicked()
{
    if (IsChecked(IDC_REGISTRY_ASSOC))
        EnableAssocList(true, m_crListBk, m_crListText);
    else
        GreyOutAssocList();
}

void CWizPropertyPage::OnImagesOnly()
{
    for (int row = 0; row < kFormatRowCount; ++row)
        SetRows(m_pSheet->m_hAssocList, row, row, kFormatTable[row].isImage ? kChecked : kUnchecked);
}

void CWizPropertyPage::OnSelectAll()
{
    SetRows(m_pSheet->m_hAssocList, 0, kFormatRowCount - 1, kChecked);
}

void CWizPropertyPage::OnSelectNone()
{
    SetRows(m_pSheet->m_hAssocList, 0, kFormatRowCount - 1, kUnchecked);
}

// Only the rows of an enabled list count; anything but "unchecked" is a choice.
void CWizPropertyPage::ReadAssociationChoice(InstallOptions& options) const
{
    HWND list = m_pSheet->m_hAssocList;
    if (!list || !IsWindowEnabled(list))
        return;
    const int rows = ListView_GetItemCount(list);
    for (int row = 0; row < rows && row < kAssocSlots; ++row) {
        if (ListView_GetItemState(list, row, LVIS_STATEIMAGEMASK) != kUnchecked) {
            options.assocSelection[row] = 1;
            options.associate = 1;
        }
    }
}
