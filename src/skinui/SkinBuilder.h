// CSkinBuilder turns a layout document into a control tree bound to a window
// host: document-level resource elements go to the host's tables, a Window
// root's attributes to the host, one control per element through the class
// table or the callback, Include elements build other layout files in place.
// The builder owns its parsed markup (parsed once, reusable for several
// builds); the controls it creates belong to their parents, or to the caller
// for the top-level control returned without a parent.
//
// Classes in this file: IDialogBuilderCallback, CSkinBuilder.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <string>

#include "skinui/ControlUI.h"
#include "skinui/SkinMarkup.h"

namespace SkinUI {

class CWindowHostUI;

class IDialogBuilderCallback {
public:
    virtual ~IDialogBuilderCallback() = default;
    // A new control for an element name the class table does not know, or
    // nullptr to skip the element.
    virtual CControlUI* CreateCustomControl(const std::wstring& className) = 0;
};

class CSkinBuilder {
public:
    CSkinBuilder() = default;
    CSkinBuilder(const CSkinBuilder&) = delete;
    CSkinBuilder& operator=(const CSkinBuilder&) = delete;

    // The source of the document: a resource identifier (IS_INTRESOURCE) of
    // the given type, a document text beginning with '<', or a skin file name.
    struct Source {
        Source(UINT resourceId) : nResourceId(resourceId) {}
        Source(const wchar_t* text) : strText(text != nullptr ? text : L"") {}
        Source(const std::wstring& text) : strText(text) {}
        UINT nResourceId = 0;
        std::wstring strText;
    };

    // Loads and builds; nullptr when the document cannot be loaded (the
    // markup keeps its error message) or nothing was built.
    CControlUI* Create(const Source& xml, const wchar_t* type = nullptr, IDialogBuilderCallback* callback = nullptr,
                       CWindowHostUI* manager = nullptr, CControlUI* parent = nullptr);
    // Builds from the already loaded markup.
    CControlUI* Create(IDialogBuilderCallback* callback = nullptr, CWindowHostUI* manager = nullptr,
                       CControlUI* parent = nullptr);

    CSkinMarkup& GetSkinMarkup() { return markup; }

    // The control for an element name from the fixed class table; nullptr
    // for a name the table does not know.
    static CControlUI* CreateFromClassTable(const std::wstring& name);

private:
    // Builds the children of one element into parent; false in aborted.
    CControlUI* BuildChildren(CSkinMarkupNode node, CControlUI* parent, CWindowHostUI* manager, bool& aborted);
    void ReadResourceElements(CSkinMarkupNode root, CWindowHostUI* manager);

    CSkinMarkup markup;
    IDialogBuilderCallback* pCallback = nullptr;
    std::wstring strResourceType;   // empty unless loaded from a resource
    bool bFromResource = false;
};

} // namespace SkinUI

#endif // _WIN32
