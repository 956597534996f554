// CSkinBuilder turns a layout document into a control tree bound to a host:
// document-level resource elements go to the host's tables, a Window root's
// attributes to the host, one control per element through the class table
// or the callback, Include elements build other layout files in place.
// The builder owns its parsed markup (parsed once, reusable for several
// builds); the controls it creates belong to their parents, or to the caller
// for the top-level control returned without a parent. Portable: only
// documents stored as resources of the executable need Windows.
//
// Classes in this file: IDialogBuilderCallback, IBuilderHostUI, CSkinBuilder.
#pragma once

#include <string>

#include "skinui/ControlUI.h"
#include "skinui/SkinMarkup.h"

namespace SkinUI {

class IDialogBuilderCallback {
public:
    virtual ~IDialogBuilderCallback() = default;
    // A new control for an element name the class table does not know, or
    // nullptr to skip the element.
    virtual CControlUI* CreateCustomControl(const std::wstring& className) = 0;
};

// What the builder needs of the host it builds for: the tables the
// document-level elements fill, the window attributes of a Window root, and
// the control host new controls are bound to while their attributes apply.
// The window host (CWindowHostUI) is one.
class IBuilderHostUI {
public:
    virtual ~IBuilderHostUI() = default;
    virtual IControlHostUI* BuildControlHost() = 0;
    // Window attributes are applied only while the host has its window.
    virtual bool HasWindow() const = 0;
    virtual void ApplyWindowAttribute(const std::wstring& name, const std::wstring& value) = 0;
    // A Font element; with makeDefault it becomes the default font as well.
    virtual void AddSkinFont(int id, const std::wstring& face, int size, bool bold, bool underline, bool italic,
                             bool shared, bool makeDefault) = 0;
    virtual void AddSkinImage(const std::wstring& name, const std::wstring& type, DWORD mask, bool useHSL) = 0;
    virtual void AddSkinClassDefaults(const std::wstring& element, const std::wstring& attributes,
                                      bool shared) = 0;
    virtual std::wstring SkinClassDefaults(const std::wstring& element) const = 0;
    virtual void AddSkinLangString(int id, const std::wstring& text) = 0;
};

class CSkinBuilder {
public:
    // Include elements nest at most this deep, build at most this many
    // copies each, and one build makes at most this many controls; a layout
    // beyond any of them fails to build with its own error text.
    static constexpr int kMaxIncludeDepth = 16;
    static constexpr int kMaxIncludeCount = 100;
    static constexpr int kMaxControls = 20000;

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
    // markup keeps its error message), the build failed (GetBuildError) or
    // nothing was built.
    CControlUI* Create(const Source& xml, const wchar_t* type = nullptr, IDialogBuilderCallback* callback = nullptr,
                       IBuilderHostUI* manager = nullptr, CControlUI* parent = nullptr);
    // Builds from the already loaded markup.
    CControlUI* Create(IDialogBuilderCallback* callback = nullptr, IBuilderHostUI* manager = nullptr,
                       CControlUI* parent = nullptr);

    CSkinMarkup& GetSkinMarkup() { return markup; }
    // Why the last build failed although its document loaded (Include
    // nested too deeply, too many copies or controls); "" otherwise.
    const std::wstring& GetBuildError() const { return strBuildError; }

    // The control for an element name from the fixed class table; nullptr
    // for a name the table does not know.
    static CControlUI* CreateFromClassTable(const std::wstring& name);

private:
    // Shared by a build and the builds of its Include elements.
    struct BuildState {
        int nControls = 0;
        std::wstring strError;
    };
    struct Walk;

    CControlUI* Build(IDialogBuilderCallback* callback, IBuilderHostUI* manager, CControlUI* parent);
    // Builds the children of one element into parent; sets walk.aborted when
    // the build must end.
    CControlUI* BuildChildren(CSkinMarkupNode node, CControlUI* parent, Walk& walk);
    // One Include element; the first control it built, else nullptr.
    CControlUI* BuildInclude(CSkinMarkupNode node, CControlUI* parent, Walk& walk);
    // One control element with its subtree, attached to parent; nullptr when
    // it was skipped or the build aborted.
    CControlUI* BuildElement(CSkinMarkupNode node, CControlUI* parent, Walk& walk);
    void ReadResourceElements(CSkinMarkupNode root, IBuilderHostUI* manager);
    // Ends the whole build with an error text.
    void Fail(Walk& walk, const std::wstring& error);

    CSkinMarkup markup;
    IDialogBuilderCallback* pCallback = nullptr;
    std::wstring strResourceType;   // empty unless loaded from a resource
    bool bFromResource = false;
    std::wstring strBuildError;
    // Set for the builder of an Include element by the build that holds it.
    BuildState* pState = nullptr;
    int nDepth = 0;
};

} // namespace SkinUI
