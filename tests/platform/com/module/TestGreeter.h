// The interface and class identities of the test module's one class.
#pragma once

#include "platform/com/Unknown.h"

#include <string>

// {6F1D2C3B-4A59-4E68-9D7C-8B9A0F1E2D3C}
constexpr CLSID CLSID_TestGreeter = {
    0x6F1D2C3B, 0x4A59, 0x4E68, {0x9D, 0x7C, 0x8B, 0x9A, 0x0F, 0x1E, 0x2D, 0x3C}};
// {6F1D2C3B-4A59-4E68-9D7C-8B9A0F1E2D3D}: registered by the module's initialisers.
constexpr CLSID CLSID_TestLoadTimeClass = {
    0x6F1D2C3B, 0x4A59, 0x4E68, {0x9D, 0x7C, 0x8B, 0x9A, 0x0F, 0x1E, 0x2D, 0x3D}};
// {0B7E6F5A-1C2D-4E3F-8A9B-C0D1E2F3A4B5}
constexpr IID IID_ITestGreeter = {
    0x0B7E6F5A, 0x1C2D, 0x4E3F, {0x8A, 0x9B, 0xC0, 0xD1, 0xE2, 0xF3, 0xA4, 0xB5}};

struct ITestGreeter : IUnknown {
    static const IID& InterfaceId() { return IID_ITestGreeter; }
    using BaseInterface = IUnknown;
    virtual HRESULT Greet(std::u16string* text) = 0;

protected:
    ~ITestGreeter() = default;
};
