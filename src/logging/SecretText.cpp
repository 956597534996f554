#include "logging/SecretText.h"

void WipeText(std::wstring& text)
{
    // Up to the capacity: a shorter text written over a longer one leaves
    // the longer one's tail behind its terminator.
    text.resize(text.capacity());
    volatile wchar_t* p = &text[0];
    for (size_t i = 0; i < text.size(); ++i)
        p[i] = L'\0';
    text.clear();
}

CSecretText& CSecretText::operator=(const CSecretText& other)
{
    if (this != &other) {
        Wipe();
        strText = other.strText;
    }
    return *this;
}

CSecretText& CSecretText::operator=(CSecretText&& other)
{
    if (this != &other) {
        Wipe();
        strText = other.strText;
        other.Wipe();
    }
    return *this;
}

void CSecretText::TakeFrom(std::wstring& text)
{
    Wipe();
    strText = text;
    WipeText(text);
}
