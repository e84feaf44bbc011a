#include "server/negotiate/NegotiateAcceptor.h"

#include <gssapi/gssapi.h>
#include <gssapi/gssapi_ext.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cctype>
#include <vector>

namespace zyr::server {

namespace {

constexpr size_t kLargestToken = 64 * 1024;

bool DecodeBase64(std::string_view text, std::vector<unsigned char>& bytes)
{
    if (text.empty() || text.size() % 4 != 0 || text.size() > kLargestToken) {
        return false;
    }
    bytes.assign(text.size() / 4 * 3, 0);
    int length = EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                 static_cast<int>(text.size()));
    if (length < 0) {
        return false;
    }
    size_t padding = text.size() - text.find_last_not_of('=') - 1;
    if (padding > 2) {
        return false;
    }
    bytes.resize(static_cast<size_t>(length) - padding);
    return true;
}

std::string EncodeBase64(const void* data, size_t size)
{
    std::string text(4 * ((size + 2) / 3), '\0');
    int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                                 static_cast<const unsigned char*>(data), static_cast<int>(size));
    text.resize(length < 0 ? 0 : static_cast<size_t>(length));
    return text;
}

std::string StatusText(OM_uint32 major, OM_uint32 minor)
{
    std::string text;
    for (auto [code, type] : {std::pair{major, GSS_C_GSS_CODE}, std::pair{minor, GSS_C_MECH_CODE}}) {
        OM_uint32 context = 0, ignored = 0;
        do {
            gss_buffer_desc message = GSS_C_EMPTY_BUFFER;
            if (GSS_ERROR(gss_display_status(&ignored, code, type, GSS_C_NO_OID, &context, &message))) {
                break;
            }
            if (!text.empty()) {
                text += "; ";
            }
            text.append(static_cast<const char*>(message.value), message.length);
            gss_release_buffer(&ignored, &message);
        } while (context != 0);
    }
    return text;
}

// The service's credentials, from this keytab only (not from KRB5_KTNAME or
// the system's); it is read anew each time, so that a renewed key is taken
// without a restart.
bool AcquireCredentials(const std::string& keytab, gss_cred_id_t& credentials, std::string& error)
{
    OM_uint32 minor = 0;
    gss_key_value_element_desc element{"keytab", keytab.c_str()};
    gss_key_value_set_desc store{1, &element};
    OM_uint32 major = gss_acquire_cred_from(&minor, GSS_C_NO_NAME, GSS_C_INDEFINITE, GSS_C_NO_OID_SET,
                                            GSS_C_ACCEPT, &store, &credentials, nullptr, nullptr);
    if (GSS_ERROR(major)) {
        error = "the service keytab " + keytab + " cannot be used: " + StatusText(major, minor);
        return false;
    }
    return true;
}

} // namespace

bool NegotiateAcceptor::Usable(std::string& reason) const
{
    gss_cred_id_t credentials = GSS_C_NO_CREDENTIAL;
    if (!AcquireCredentials(keytab_, credentials, reason)) {
        return false;
    }
    OM_uint32 minor = 0;
    gss_release_cred(&minor, &credentials);
    return true;
}

NegotiateAcceptor::NegotiateAcceptor(std::string keytab) : keytab_(std::move(keytab)) {}

bool NegotiateAcceptor::Accept(std::string_view token, NegotiateOutcome& outcome) const
{
    outcome = NegotiateOutcome{};
    std::vector<unsigned char> bytes;
    if (!DecodeBase64(token, bytes)) {
        outcome.error = "the Negotiate token is not base64";
        return false;
    }
    gss_cred_id_t credentials = GSS_C_NO_CREDENTIAL;
    if (!AcquireCredentials(keytab_, credentials, outcome.error)) {
        return false;
    }
    OM_uint32 minor = 0;
    gss_ctx_id_t context = GSS_C_NO_CONTEXT;
    gss_buffer_desc input{bytes.size(), bytes.data()};
    gss_buffer_desc output = GSS_C_EMPTY_BUFFER;
    gss_name_t client = GSS_C_NO_NAME;
    OM_uint32 flags = 0;
    OM_uint32 major = gss_accept_sec_context(&minor, &context, credentials, &input, GSS_C_NO_CHANNEL_BINDINGS,
                                             &client, nullptr, &output, &flags, nullptr, nullptr);
    bool proved = major == GSS_S_COMPLETE;
    if (output.length > 0) {
        outcome.replyToken = EncodeBase64(output.value, output.length);
    }
    if (proved) {
        gss_buffer_desc name = GSS_C_EMPTY_BUFFER;
        if (GSS_ERROR(gss_display_name(&minor, client, &name, nullptr))) {
            proved = false;
            outcome.error = "the client's name cannot be read";
        } else {
            outcome.principal.assign(static_cast<const char*>(name.value), name.length);
            gss_release_buffer(&minor, &name);
        }
    } else {
        outcome.error = major == GSS_S_CONTINUE_NEEDED ? "the Negotiate exchange needs more than one round"
                                                       : StatusText(major, minor);
    }
    gss_release_buffer(&minor, &output);
    gss_release_name(&minor, &client);
    gss_delete_sec_context(&minor, &context, GSS_C_NO_BUFFER);
    gss_release_cred(&minor, &credentials);
    return proved;
}

std::string PrincipalAccount(std::string_view principal,
                             const std::map<std::string, std::string>& realmDomains)
{
    size_t at = principal.rfind('@');
    if (at == std::string_view::npos || at == 0 || at + 1 == principal.size()) {
        return {};
    }
    std::string_view name = principal.substr(0, at);
    std::string_view realm = principal.substr(at + 1);
    if (name.find_first_of("/\\@") != std::string_view::npos ||
        std::any_of(principal.begin(), principal.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; })) {
        return {};
    }
    auto sameRealm = [realm](const auto& entry) {
        return std::equal(entry.first.begin(), entry.first.end(), realm.begin(), realm.end(),
                          [](char a, char b) {
                              return std::toupper(static_cast<unsigned char>(a)) ==
                                     std::toupper(static_cast<unsigned char>(b));
                          });
    };
    auto mapped = std::find_if(realmDomains.begin(), realmDomains.end(), sameRealm);
    std::string domain =
        mapped != realmDomains.end() ? mapped->second : std::string(realm.substr(0, realm.find('.')));
    return domain.empty() ? std::string() : domain + "\\" + std::string(name);
}

} // namespace zyr::server
