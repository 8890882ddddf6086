#pragma once

#include <QString>

namespace parlomax::shell {

enum class MessageIcon { None, Information, Warning, Error };

// Captions of the program's own boxes. "Waring" is how every warning box of
// this program has always been titled; people know the boxes by it.
inline const QString kWarningCaption = QStringLiteral("Waring");
inline const QString kQuestionCaption = QStringLiteral("Warning");
inline const QString kPlainCaption = QStringLiteral("Parlomax");
inline const QString kOpenFolderCaption = QStringLiteral("打开文件夹");

// Message boxes, owned by no window. Every call blocks the calling thread
// until the user has closed the box, whichever thread it comes from.
class MessageService {
 public:
  virtual ~MessageService() = default;

  // A box with an OK button.
  virtual void Show(const QString& caption, const QString& text, MessageIcon icon) = 0;
  // A warning box with OK and Cancel; true when the user chose OK.
  virtual bool AskOkCancel(const QString& text) = 0;
  // A question box with Yes and No; true when the user chose Yes.
  virtual bool AskYesNo(const QString& text) = 0;
  // A closing message that says where the work went: `place` (the folder or
  // file written to) on a line after `text`, and beside OK a button
  // "打开文件夹" that opens `folder` in the file manager. True when the user
  // opened it. Where nobody can click, the place line is all there is.
  virtual bool InformWithFolder(const QString& caption, const QString& text, MessageIcon icon,
                                const QString& place, const QString& folder) {
    (void)folder;
    Show(caption, WithPlace(text, place), icon);
    return false;
  }

  // Failures and refusals: caption "Waring", warning icon, OK.
  void Warn(const QString& text) { Show(kWarningCaption, text, MessageIcon::Warning); }
  // The warning box of a job that wrote into `folder`.
  bool WarnWithFolder(const QString& text, const QString& folder) {
    return InformWithFolder(kWarningCaption, text, MessageIcon::Warning, folder, folder);
  }
  static QString WithPlace(const QString& text, const QString& place) {
    return place.isEmpty() ? text : text + QLatin1Char('\n') + place;
  }
  // A bare notice without an icon.
  void Plain(const QString& text) { Show(kPlainCaption, text, MessageIcon::None); }
  // The standard box for an error the program did not foresee.
  void ShowException(const QString& text) { Show(kPlainCaption, text, MessageIcon::Error); }
};

}  // namespace parlomax::shell
