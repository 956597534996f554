// A secret the program holds for a while (the proxy password): its
// characters are overwritten before its memory is given back, on every path:
// when it is destroyed (an early return included), assigned over, or moved
// from. A plain std::wstring moved from keeps short texts in its own buffer,
// and one that grows leaves the old buffer behind unwiped; this one does not.
//
// Classes in this file: CSecretText.
#pragma once

#include <string>

// Overwrites the whole buffer of text (its capacity, not only its length)
// and empties it. For a plain string that held a secret on its way in or
// out (a control's text, a stack's copy).
void WipeText(std::wstring& text);

class CSecretText {
public:
    CSecretText() = default;
    explicit CSecretText(const std::wstring& text) : strText(text) {}
    ~CSecretText() { Wipe(); }
    CSecretText(const CSecretText& other) : strText(other.strText) {}
    CSecretText(CSecretText&& other) : strText(other.strText) { other.Wipe(); }
    CSecretText& operator=(const CSecretText& other);
    CSecretText& operator=(CSecretText&& other);

    // Takes text's characters and wipes text.
    void TakeFrom(std::wstring& text);
    void Wipe() { WipeText(strText); }

    const std::wstring& Text() const { return strText; }
    const wchar_t* c_str() const { return strText.c_str(); }
    size_t size() const { return strText.size(); }
    bool empty() const { return strText.empty(); }

private:
    std::wstring strText;
};
