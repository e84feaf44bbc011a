// Secure groups of an application and the securable objects of a group.
#pragma once

#include "common/KvtXml.h"
#include "records/AccessEntry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// An object's qualifier: a condition on a named value that the object's
// access depends on. Nearly every object has none.
struct ObjectQualifier {
    zyr::records::Field<128> QName;
    zyr::records::Field<128> QValue;
    zyr::records::Field<6> QOper;
    zyr::records::Field<11> QType;
};

// One securable object.
class CKVTApplSecObj {
public:
    // A fetched object: every text empty. IsValid is false when no server URL
    // could be obtained.
    CKVTApplSecObj();
    // An object made in the console: its DN is applDN "." groupDN "." name,
    // spaces replaced by "_", until Add.
    CKVTApplSecObj(std::string_view name, std::string_view groupDN, std::string_view applDN,
                   std::string_view description);
    virtual ~CKVTApplSecObj();
    CKVTApplSecObj(const CKVTApplSecObj&) = delete;
    CKVTApplSecObj& operator=(const CKVTApplSecObj&) = delete;

    bool IsValid() const { return !serverUrl_.empty(); }

    zyr::records::Field<768> DN;
    zyr::records::Field<256> CN;
    // The same texts for every object of a group: shared, not copied.
    zyr::records::SharedField<40> GroupDN;
    zyr::records::SharedField<40> ApplDN;
    zyr::records::Field<256> Description;
    std::vector<AccessEntry> ACL;
    int32_t UseQ = 0;
    std::string AuditText;

    // The qualifier's texts, made on first use: objects are kept by the
    // hundred thousand and nearly all have none.
    ObjectQualifier& Qualifier();
    // Empty texts for an object without one.
    const ObjectQualifier& QualifierOrEmpty() const;

    bool Add();
    bool Update();
    bool Delete();
    // The fields the server keeps, in one text (see CKVTRole::StoredState).
    std::string StoredState() const;

    std::string_view ServerUrlText() const { return serverUrl_.view(); }

private:
    zyr::records::ServerUrl serverUrl_;
    std::unique_ptr<ObjectQualifier> qualifier_;
};

// One secure group of an application.
class CKVTSecGroup {
public:
    // A fetched group: every text empty.
    CKVTSecGroup();
    // A group made in the console: its DN is applName "." name, spaces
    // replaced by "_", until Add. IsValid is false when no server URL could
    // be obtained.
    CKVTSecGroup(std::string_view name, std::string_view applName, std::string_view applDN,
                 std::string_view description);
    virtual ~CKVTSecGroup();
    CKVTSecGroup(const CKVTSecGroup&) = delete;
    CKVTSecGroup& operator=(const CKVTSecGroup&) = delete;

    bool IsValid() const { return !serverUrl_.empty(); }

    zyr::records::Field<512> DN;
    zyr::records::Field<256> CN;
    zyr::records::Field<256> ApplName;
    zyr::records::Field<41> ApplDN;
    zyr::records::Field<256> Description;
    std::vector<AccessEntry> ACL;
    std::vector<std::unique_ptr<CKVTApplSecObj>> Objects;
    std::string AuditText;

    // Appends the objects that the group's element of the application list
    // reply describes.
    void LoadObjects(zyr::xml::KvtXmlDocument& document, const zyr::xml::KvtXmlElement& groupElement);

    bool Add();
    bool Update();
    bool Delete();
    // The fields the server keeps, in one text (see CKVTRole::StoredState).
    std::string StoredState() const;

    // The element this group was read from (an empty handle for groups made
    // in the console, or once released).
    const zyr::xml::KvtXmlElement& SourceElement() const { return sourceElement_; }
    void SetSourceElement(zyr::xml::KvtXmlElement element) { sourceElement_ = std::move(element); }
    void ReleaseSourceElement() { sourceElement_ = {}; }

    std::string_view ServerUrlText() const { return serverUrl_.view(); }

private:
    zyr::records::ServerUrl serverUrl_;
    zyr::xml::KvtXmlElement sourceElement_;
};

namespace zyr::records {
// The text with every space replaced by "_".
std::string SpacesToUnderscores(std::string_view text);
// Reads the texts of the first count child elements of element by position;
// false when its children cannot be listed or are not within [least, most].
bool ReadChildTexts(zyr::xml::KvtXmlDocument& document, const zyr::xml::KvtXmlElement& element, LONG least,
                    LONG most, std::string* texts, LONG count, zyr::xml::KvtXmlElementCollection& children);
} // namespace zyr::records
