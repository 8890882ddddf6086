#include "cli/DeviceAccess.h"

#include "platform/files/SystemReason.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <vector>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlomax::cli {
namespace {

constexpr const char* kRuleName = "70-parlomax-telephone.rules";

QString GroupName(gid_t gid) {
  const group* g = ::getgrgid(gid);
  return g ? QString::fromLocal8Bit(g->gr_name) : QString::number(gid);
}

QString UserName(uid_t uid = ::getuid()) {
  const passwd* p = ::getpwuid(uid);
  return p ? QString::fromLocal8Bit(p->pw_name) : QString::number(uid);
}

// The groups this process has now: a group joined since the login does not
// count until the next one.
bool InGroupNow(gid_t gid) {
  if (::getgid() == gid || ::getegid() == gid) return true;
  std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
  const int n = ::getgroups(static_cast<int>(groups.size()), groups.data());
  return std::find(groups.begin(), groups.begin() + std::max(n, 0), gid) != groups.begin() + std::max(n, 0);
}

// Listed as a member of the group in the system's group database.
bool ListedInGroup(gid_t gid) {
  const group* g = ::getgrgid(gid);
  if (!g) return false;
  const passwd* p = ::getpwuid(::getuid());
  if (!p) return false;
  if (p->pw_gid == gid) return true;
  for (char** member = g->gr_mem; member && *member; ++member) {
    if (std::string(*member) == p->pw_name) return true;
  }
  return false;
}

QString ModeText(mode_t mode) { return QStringLiteral("%1").arg(mode & 07777, 4, 8, QLatin1Char('0')); }

}  // namespace

std::string InstalledUdevRule() {
  for (const char* folder : {"/etc/udev/rules.d", "/run/udev/rules.d", "/usr/lib/udev/rules.d", "/lib/udev/rules.d",
                             "/usr/local/lib/udev/rules.d"}) {
    std::error_code ec;
    const auto rule = std::filesystem::path(folder) / kRuleName;
    if (std::filesystem::exists(rule, ec)) return rule.string();
  }
  return {};
}

DeviceAccess CheckDeviceAccess(const std::string& deviceNode) {
  DeviceAccess access;
  if (::access(deviceNode.c_str(), R_OK | W_OK) == 0) {
    access.mayOpen = true;
    return access;
  }
  const int error = errno;
  struct stat node {};
  if (::stat(deviceNode.c_str(), &node) != 0 || error != EACCES) {
    access.why = QStringLiteral("无法打开设备节点 %1：%2")
                     .arg(QString::fromStdString(deviceNode), files::SystemReasonText(error));
    access.fix << QStringLiteral("重新插上电话；若仍然如此，请查看 dmesg 里的 USB 消息");
    return access;
  }
  const QString group = GroupName(node.st_gid);
  access.why = QStringLiteral("当前用户 %1 不能读写设备节点 %2（属主 %3，组 %4，权限 %5）")
                   .arg(UserName(), QString::fromStdString(deviceNode), UserName(node.st_uid), group,
                        ModeText(node.st_mode));
  const std::string rule = InstalledUdevRule();
  if (rule.empty()) {
    access.fix << QStringLiteral("没有安装 Parlomax 的 udev 规则（%1）。安装 parlomax 软件包会装上它；从源码树安装：").arg(kRuleName)
               << QStringLiteral("  sudo install -m 644 packaging/udev/%1 /etc/udev/rules.d/").arg(kRuleName)
               << QStringLiteral("  sudo udevadm control --reload")
               << QStringLiteral("  sudo udevadm trigger --subsystem-match=usb --attr-match=idVendor=10c4 --attr-match=idProduct=ea61")
               << QStringLiteral("然后拔下电话再插上。");
    return access;
  }
  // A node still in root's group was not given one by the rule: joining
  // root's group is no advice to give.
  const bool groupMayWrite = node.st_gid != 0 && (node.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
  if (groupMayWrite && ListedInGroup(node.st_gid) && !InGroupNow(node.st_gid)) {
    access.fix << QStringLiteral("你已加入 %1 组，但要注销并重新登录后才生效。").arg(group);
  } else if (groupMayWrite) {
    access.fix << QStringLiteral("udev 规则已安装（%1）；%2 组的成员可以打开电话：").arg(QString::fromStdString(rule), group)
               << QStringLiteral("  sudo adduser %1 %2").arg(UserName(), group)
               << QStringLiteral("然后注销并重新登录。坐在电脑前登录的用户不必加入这个组。");
  } else {
    access.fix << QStringLiteral("udev 规则已安装（%1），但没有作用到这个设备上：").arg(QString::fromStdString(rule))
               << QStringLiteral("  sudo udevadm control --reload")
               << QStringLiteral("  sudo udevadm trigger --subsystem-match=usb --attr-match=idVendor=10c4 --attr-match=idProduct=ea61")
               << QStringLiteral("然后拔下电话再插上。");
  }
  return access;
}

}  // namespace parlomax::cli
