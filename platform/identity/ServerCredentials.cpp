#include "platform/identity/ServerCredentials.h"

#include "platform/text/BoundedText.h"

#include <cstdlib>
#include <mutex>

namespace zyr::identity {

namespace {

struct Credentials {
    std::mutex mutex;
    zyr::text::BoundedText<256> user;
    zyr::text::BoundedText<256> password;
    bool set = false;

    void Wipe()
    {
        user.Wipe();
        password.Wipe();
        set = false;
    }
};

Credentials& Stored()
{
    static Credentials credentials;
    return credentials;
}

} // namespace

bool SetServerCredentials(std::string_view user, std::string_view password)
{
    static std::once_flag registered;
    std::call_once(registered, [] { std::atexit(ClearServerCredentials); });
    Credentials& stored = Stored();
    std::lock_guard lock(stored.mutex);
    stored.Wipe();
    if (user.empty() || user.size() > stored.user.capacity() ||
        password.size() > stored.password.capacity()) {
        return false;
    }
    stored.user.Assign(user);
    stored.password.Assign(password);
    stored.set = true;
    return true;
}

void ClearServerCredentials()
{
    Credentials& stored = Stored();
    std::lock_guard lock(stored.mutex);
    stored.Wipe();
}

bool UseServerCredentials(const std::function<void(const char* user, const char* password)>& use)
{
    Credentials& stored = Stored();
    std::lock_guard lock(stored.mutex);
    if (!stored.set) {
        return false;
    }
    use(stored.user.c_str(), stored.password.c_str());
    return true;
}

} // namespace zyr::identity
