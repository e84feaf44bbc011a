// The Negotiate acceptor against the test realm that scripts/test starts
// (ZYR_TEST_KRB5, see scripts/test-kdc): alice's ticket for HTTP/localhost.
#include "server/negotiate/NegotiateAcceptor.h"
#include "tests/support/TestRealm.h"

#include <gssapi/gssapi.h>
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdlib>
#include <string>

using zyr::server::NegotiateAcceptor;
using zyr::server::NegotiateOutcome;
using zyr::server::PrincipalAccount;

namespace {

gss_OID_desc kSpnego{6, const_cast<char*>("\x2b\x06\x01\x05\x05\x02")};

// The client's side: a SPNEGO context for HTTP@localhost from the ticket in
// the credential cache.
struct Client {
    gss_ctx_id_t context = GSS_C_NO_CONTEXT;
    gss_name_t service = GSS_C_NO_NAME;

    Client()
    {
        OM_uint32 minor = 0;
        gss_buffer_desc name{14, const_cast<char*>("HTTP@localhost")};
        gss_import_name(&minor, &name, GSS_C_NT_HOSTBASED_SERVICE, &service);
    }
    ~Client()
    {
        OM_uint32 minor = 0;
        gss_delete_sec_context(&minor, &context, GSS_C_NO_BUFFER);
        gss_release_name(&minor, &service);
    }
    // The next token (base64), or "" when the client cannot go on; complete
    // tells whether the client now holds a proved context.
    std::string Step(const std::string& replyBase64, bool& complete)
    {
        std::string reply(replyBase64.size(), '\0');
        int length = replyBase64.empty()
                         ? 0
                         : EVP_DecodeBlock(reinterpret_cast<unsigned char*>(reply.data()),
                                           reinterpret_cast<const unsigned char*>(replyBase64.data()),
                                           static_cast<int>(replyBase64.size()));
        reply.resize(length < 0 ? 0
                                : static_cast<size_t>(length) -
                                      (replyBase64.size() - replyBase64.find_last_not_of('=') - 1));
        OM_uint32 minor = 0;
        gss_buffer_desc input{reply.size(), reply.data()};
        gss_buffer_desc output = GSS_C_EMPTY_BUFFER;
        OM_uint32 major =
            gss_init_sec_context(&minor, GSS_C_NO_CREDENTIAL, &context, service, &kSpnego, GSS_C_MUTUAL_FLAG,
                                 0, GSS_C_NO_CHANNEL_BINDINGS, replyBase64.empty() ? GSS_C_NO_BUFFER : &input,
                                 nullptr, &output, nullptr, nullptr);
        complete = major == GSS_S_COMPLETE;
        std::string token;
        if (!GSS_ERROR(major) && output.length > 0) {
            token.assign(4 * ((output.length + 2) / 3), '\0');
            token.resize(static_cast<size_t>(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(token.data()),
                                                             static_cast<const unsigned char*>(output.value),
                                                             static_cast<int>(output.length))));
        }
        gss_release_buffer(&minor, &output);
        return token;
    }
};

class NegotiateAcceptorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        realm = zyr::test::TestRealm();
        if (realm.empty()) {
            GTEST_SKIP() << zyr::test::kNoTestRealm;
        }
    }
    std::string realm;
};

TEST_F(NegotiateAcceptorTest, ATicketIsAcceptedWithMutualAuthentication)
{
    Client client;
    bool complete = false;
    std::string token = client.Step("", complete);
    ASSERT_FALSE(token.empty());
    NegotiateOutcome outcome;
    ASSERT_TRUE(NegotiateAcceptor(realm + "/http.keytab").Accept(token, outcome)) << outcome.error;
    EXPECT_EQ("alice@PLANT.TEST", outcome.principal);
    ASSERT_FALSE(outcome.replyToken.empty());
    client.Step(outcome.replyToken, complete);
    EXPECT_TRUE(complete) << "the client proves the server by its reply";
}

TEST_F(NegotiateAcceptorTest, RefusedWithAStaleServiceKeyOrWithoutATicket)
{
    Client client;
    bool complete = false;
    std::string token = client.Step("", complete);
    NegotiateOutcome outcome;
    EXPECT_FALSE(NegotiateAcceptor(realm + "/stale.keytab").Accept(token, outcome));
    EXPECT_FALSE(outcome.error.empty());
    EXPECT_TRUE(outcome.principal.empty());
    EXPECT_FALSE(NegotiateAcceptor(realm + "/http.keytab").Accept("bm90IGEgdG9rZW4=", outcome));
    EXPECT_FALSE(NegotiateAcceptor(realm + "/http.keytab").Accept("%%%%", outcome));

    setenv("KRB5CCNAME", ("FILE:" + realm + "/no-ticket").c_str(), 1);
    Client withoutTicket;
    EXPECT_EQ("", withoutTicket.Step("", complete)) << "no ticket, no token to send";
}

TEST(PrincipalAccountTest, RealmsMapToDomains)
{
    EXPECT_EQ("PLANT\\alice", PrincipalAccount("alice@PLANT.TEST", {}));
    EXPECT_EQ("CORP\\alice", PrincipalAccount("alice@plant.test", {{"PLANT.TEST", "CORP"}}));
    EXPECT_EQ("", PrincipalAccount("HTTP/localhost@PLANT.TEST", {}));
    EXPECT_EQ("", PrincipalAccount("alice", {}));
    EXPECT_EQ("", PrincipalAccount("a\\b@PLANT.TEST", {}));
    EXPECT_EQ("", PrincipalAccount("al\nice@PLANT.TEST", {}));
    EXPECT_EQ("", PrincipalAccount("alice@.TEST", {}));
}

} // namespace
