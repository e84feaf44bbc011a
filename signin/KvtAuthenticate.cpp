#include "signin/KvtAuthenticate.h"

#include <cstring>

__attribute__((visibility("default"))) CKVTAuthenticate&
CKVTAuthenticate::operator=(const CKVTAuthenticate& other)
{
    if (this != &other) {
        std::memcpy(data_, other.data_, sizeof(data_));
    }
    return *this;
}
