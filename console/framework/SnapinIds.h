// The class identities of the snap-in: the component-data class, the about
// class, the type library and the node type declared at registration.
#pragma once

#include "platform/com/Guid.h"

// {3B8D6E21-0F4A-4C57-9E12-6A7C5D10B301}
constexpr CLSID CLSID_KVTSnapin = {
    0x3B8D6E21, 0x0F4A, 0x4C57, {0x9E, 0x12, 0x6A, 0x7C, 0x5D, 0x10, 0xB3, 0x01}};
// {3B8D6E22-0F4A-4C57-9E12-6A7C5D10B302}
constexpr CLSID CLSID_KVTSnapinAbout = {
    0x3B8D6E22, 0x0F4A, 0x4C57, {0x9E, 0x12, 0x6A, 0x7C, 0x5D, 0x10, 0xB3, 0x02}};
// {3B8D6E20-0F4A-4C57-9E12-6A7C5D10B300}
constexpr GUID LIBID_KVTSNAPINLib = {
    0x3B8D6E20, 0x0F4A, 0x4C57, {0x9E, 0x12, 0x6A, 0x7C, 0x5D, 0x10, 0xB3, 0x00}};
// The node type the snap-in declares to the console; no node of the tree uses it.
// {3B8D6E2F-0F4A-4C57-9E12-6A7C5D10B30F}
constexpr GUID NODETYPE_KVTSnapinRegistered = {
    0x3B8D6E2F, 0x0F4A, 0x4C57, {0x9E, 0x12, 0x6A, 0x7C, 0x5D, 0x10, 0xB3, 0x0F}};
