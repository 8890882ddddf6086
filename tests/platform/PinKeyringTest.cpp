// The remembered PIN where no keyring answers (no Secret Service on the
// bus, or no bus at all): the private file the units hand over, never one
// that others may read.
#include "FileBytes.h"
#include "TempFolder.h"
#include "platform/keyring/PinKeyring.h"

#include <gtest/gtest.h>

#include <fstream>

namespace parlomax::keyring {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(PinKeyring, WithoutAKeyringThePinLivesInAPrivateFileAndIsForgottenThere) {
  testing::TempFolder home;
  const fs::path file = home / ".config/parlomax/pin";
  PinKeyring keyring(file, 2s);
  EXPECT_EQ(keyring.Where(), PinPlace::Nowhere);
  ASSERT_EQ(keyring.Save(QStringLiteral("0917")), PinPlace::File);
  EXPECT_EQ(testing::ModeOf(file) & 0777, 0600u);
  EXPECT_EQ(testing::ModeOf(file.parent_path()) & 0777, 0700u);
  PinPlace from = PinPlace::Nowhere;
  EXPECT_EQ(keyring.Load(&from), QStringLiteral("0917"));
  EXPECT_EQ(from, PinPlace::File);

  fs::permissions(file, fs::perms::group_read, fs::perm_options::add);
  EXPECT_EQ(keyring.Load(&from), std::nullopt) << "a PIN others may read is not used";
  EXPECT_EQ(from, PinPlace::Nowhere);

  EXPECT_TRUE(keyring.Forget());
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(keyring.Where(), PinPlace::Nowhere);
}

}  // namespace
}  // namespace parlomax::keyring
