#pragma once
// RELATIONMANAGER: a data file together with its relations to other files, as one logical thread
// uses them. It opens and closes the file (and, when asked, every related file) and carries a
// change of the link fields or a deletion of a record along the relations:
//   update cascade   the children take the parent's new link values
//   update/delete clear   the children's link fields are blanked
//   delete cascade   the children are deleted with the parent (their own relations apply)
//   restrict         refused while a child exists (delete: message 33 naming the child file)
// With the transaction switch on, the whole change runs inside driver transactions on every file
// it touches (2 seconds to get each lock), and it is all or nothing: a step that fails rolls every
// file back and the message says why. Across several files the commits are made all-or-nothing by
// a cascade journal ("CASCADE.JNL" beside the data files): the changes are written to it and
// synced before the first file commits, and a journal found later (after a crash between two
// commits) is replayed by the next opener of any of the files.
//
// Children are found through the child key: text links compare without case (a certificate whose
// recipient is the counterparty's name in other letters belongs to it), numbers by value. A parent
// whose link values are all blank or zero has no children.

#include <functional>
#include <vector>

#include "framework/classlib/filemanager.h"

namespace vx {

namespace RI {
constexpr int None = 0;
constexpr int Clear = 1;
constexpr int Restrict = 2;
constexpr int Cascade = 3;
}  // namespace RI

class RelationManager {
public:
    RelationManager() = default;
    virtual ~RelationManager();
    RelationManager(const RelationManager&) = delete;
    RelationManager& operator=(const RelationManager&) = delete;

    // useTransaction: cascades run inside driver transactions.
    void Init(FileManager& file, bool useTransaction);
    virtual void Kill();
    // Adds the relations; run once, the first time they are needed.
    virtual void DeferedAddRelations() {}

    // A child relation: childKey is the child file's key over its link fields.
    void AddRelation(RelationManager& child, int updateMode, int deleteMode, int childKey);
    // A parent entry: no key, no modes, no links.
    void AddRelation(RelationManager& parent);
    // A link of the last child relation added: parent field -> child field.
    void AddRelationLink(const FieldDesc& parentField, const FieldDesc& childField);

    // Open counts a use of the file, and with SetOpenRelated also of every related file (each
    // reachable file once); Close releases what the matching Open took.
    void SetOpenRelated(bool on = true) { openRelated_ = on; }
    int Open();
    int Close();

    // Writes the file manager's record buffer at its position and carries changed link values
    // to the children. Returns a level.
    int Update();
    // Deletes the record at the file manager's position with its relations. Returns a level.
    int Delete();

    FileManager* Me = nullptr;
    bool UseTransaction = false;

    // Test hook: called before the cascade journal is written (-1), after it is written (0) and
    // after each file commit (1, 2, ...).
    static void SetCommitHook(std::function<void(int committed)> hook);

    struct Relation {
        RelationManager* other = nullptr;
        bool child = false;
        int updateMode = RI::None;
        int deleteMode = RI::None;
        int key = 0;
        std::vector<std::pair<const FieldDesc*, const FieldDesc*>> links;
    };
    const std::vector<Relation>& Relations();

    struct Cascade;

private:
    void ensureRelations();
    void collectRelated(std::vector<RelationManager*>& out);

    std::vector<Relation> relations_;
    bool added_ = false;
    bool openRelated_ = false;
    std::vector<std::vector<RelationManager*>> openedWith_;
};

}  // namespace vx

using RELATIONMANAGER = vx::RelationManager;
