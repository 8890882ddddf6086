#include "platform/files/SystemReason.h"

#include <cerrno>
#include <cstring>

namespace parlomax::files {

QString SystemReasonText(int error) {
  switch (error) {
    case ENOSPC: return QStringLiteral("磁盘空间不足");
    case EDQUOT: return QStringLiteral("超出了磁盘配额");
    case EIO: return QStringLiteral("磁盘读写出错（输入/输出错误）");
    case EROFS: return QStringLiteral("只读的文件系统");
    case EACCES:
    case EPERM: return QStringLiteral("没有权限");
    case EFBIG: return QStringLiteral("文件太大");
    case ENAMETOOLONG: return QStringLiteral("文件名太长");
    case ENOENT: return QStringLiteral("没有这个文件或目录");
    case ENOTDIR: return QStringLiteral("路径中有一项不是目录");
    case EISDIR: return QStringLiteral("这是一个目录");
    case EEXIST: return QStringLiteral("文件已经存在");
    case EINVAL: return QStringLiteral("不是普通文件");
    case EMFILE:
    case ENFILE: return QStringLiteral("打开的文件太多");
    default: return QStringLiteral("系统错误 %1（%2）").arg(error).arg(QString::fromLocal8Bit(std::strerror(error)));
  }
}

QString WriteFailedText(const std::filesystem::path& file, int error) {
  return QStringLiteral("写入 %1 失败：%2").arg(PathText(file), SystemReasonText(error));
}

}  // namespace parlomax::files
