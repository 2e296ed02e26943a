// Owners' sign-in against a real SQLite database: which stored hashes let the right password in,
// which are replaced by a hash of the current limits on the way, and that every refusal leaves
// the stored hash alone.
#include "backoffice/sign_in.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <array>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/data/connection.h"
#include "platform/data/connection_pool.h"
#include "platform/data/recordset.h"
#include "platform/passwords/password_hash.h"
#include "support/temp_dir.h"

namespace backoffice {

using passwords::HashPassword;
using passwords::NeedsRehash;
using passwords::VerifyPassword;

namespace {

using store::AddOwner;
using store::FindOwnerById;
using store::SetDisabled;

std::string Hash(const char* password, unsigned long long ops, std::size_t mem, int alg) {
  std::array<char, crypto_pwhash_STRBYTES> out{};
  EXPECT_EQ(crypto_pwhash_str_alg(out.data(), password, std::strlen(password), ops, mem, alg), 0);
  return out.data();
}

TEST(SignIn, AcceptsOnlyTheRightPasswordOfAnEnabledOwnerAndRehashesOldLimits) {
  ASSERT_GE(sodium_init(), 0);
  testing_support::TempDir dir;
  std::ofstream(dir.path() / "site.db").flush();
  data::ConnectionPool pool(dir.path());
  data::Connection db(pool);
  db.Open("Data Source=sqlite:site.db");
  std::ostringstream schema;
  schema << std::ifstream(std::string(WAPSITE_SOURCE_DIR) + "/schema/sqlite.sql").rdbuf();
  db.ExecuteScript(schema.str());

  const std::string current = HashPassword("pw");
  const struct {
    const char* what;
    std::string stored;
    const char* typed;
    bool disabled;
    bool signed_in;
    bool rehashed;
  } cases[] = {
      {"current limits", current, "pw", false, true, false},
      {"weaker Argon2id limits",
       Hash("pw", crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN,
            crypto_pwhash_ALG_ARGON2ID13),
       "pw", false, true, true},
      {"Argon2i",
       Hash("pw", crypto_pwhash_argon2i_OPSLIMIT_INTERACTIVE,
            crypto_pwhash_argon2i_MEMLIMIT_INTERACTIVE, crypto_pwhash_ALG_ARGON2I13),
       "pw", false, true, true},
      {"wrong password", current, "Pw", false, false, false},
      {"empty password", current, "", false, false, false},
      {"disabled owner", current, "pw", true, false, false},
      {"disabled owner, wrong password", current, "Pw", true, false, false},
      {"no hash at all", "pw", "pw", false, false, false},
  };
  for (const auto& c : cases) {
    db.Execute("delete from wap_owners");
    const std::int64_t userid = AddOwner(db, "tea", c.stored);
    ASSERT_TRUE(SetDisabled(db, "tea", c.disabled));
    const SignInCheck check = CheckSignIn(db, nullptr, "tea", c.typed, "10.0.0.1");
    EXPECT_EQ(check.outcome == SignInCheck::Outcome::kSignedIn, c.signed_in) << c.what;
    // Only the right password learns that the account is disabled.
    EXPECT_EQ(check.outcome == SignInCheck::Outcome::kDisabled,
              c.disabled && c.typed == std::string("pw"))
        << c.what;
    const std::string stored = FindOwnerById(db, userid)->password_hash;
    EXPECT_EQ(stored != c.stored, c.rehashed) << c.what;
    if (c.rehashed) {
      EXPECT_TRUE(VerifyPassword(stored, c.typed) && !NeedsRehash(stored)) << c.what;
    }
    EXPECT_EQ(!FindOwnerById(db, userid)->last_sign_in.empty(), c.signed_in) << c.what;
  }
  EXPECT_EQ(CheckSignIn(db, nullptr, "nobody", "pw", "10.0.0.1").outcome,
            SignInCheck::Outcome::kRefused);
}

}  // namespace
}  // namespace backoffice
