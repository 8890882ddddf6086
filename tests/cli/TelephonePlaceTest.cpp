#include "cli/TelephonePlace.h"

#include <gtest/gtest.h>

namespace parlomax::cli {
namespace {

TEST(TelephonePlace, APlaceIsTakenAsTheDoctorPrintsItOrFromTheEndOfASysfsPath) {
  const std::vector<std::pair<std::string, std::optional<std::string>>> cases{
      {"1-2", "1-2"},
      {"3-1.4.2", "3-1.4.2"},
      {"/sys/devices/pci0000:00/0000:00:14.0/usb1/1-1.4", "1-1.4"},
      {"sys/devices/pci0000:00/0000:00:14.0/usb1/1-1.4/", "1-1.4"},  // %I without its "/"
      {"/sys/devices/pci0000:00/0000:00:14.0/usb1", std::nullopt},  // the root hub
      {"/sys/devices/usb1/1-1/1-1:1.0", std::nullopt},  // an interface, not the device
      {"1-0", std::nullopt},
      {"1", std::nullopt},
      {"../1-1", std::nullopt},
      {"", std::nullopt}};
  for (const auto& [typed, place] : cases) EXPECT_EQ(PlaceNamed(typed), place) << typed;
}

}  // namespace
}  // namespace parlomax::cli
