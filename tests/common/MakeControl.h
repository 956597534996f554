// Building controls in tests: a new control with a name and attributes.
#pragma once

#include <initializer_list>
#include <utility>

namespace testhost {

// A new control of type T with a name and attributes applied in order; the
// caller (or the container it is added to) owns it.
template <typename T>
T* Make(const wchar_t* name, std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> attributes = {})
{
    T* control = new T;
    control->SetName(name);
    for (const auto& a : attributes)
        control->SetAttribute(a.first, a.second);
    return control;
}

} // namespace testhost
