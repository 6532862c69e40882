#pragma once

// Every text the user sees, in one place. UTF-8; the GUI turns them into QString with
// QString::fromUtf8. "%1", "%2" are filled in by the code that shows the text.
namespace texts {

// The one line printed when there is no graphical desktop to show the window on.
inline constexpr char kNoDisplay[] = "kelvarn：没有可以显示窗口的图形桌面，请在桌面环境中启动。\n";

// Application title: caption of informational boxes and of the error report.
inline constexpr char kAppTitle[] = "Kelvarn";
// Caption of every yes/no question.
inline constexpr char kQuestionCaption[] = "提示：";
inline constexpr char kOk[] = "确定";
inline constexpr char kYes[] = "是";
inline constexpr char kNo[] = "否";

// Main window: captions and title ("Kelvarn" + "V" + version).
inline constexpr char kProductName[] = "Kelvarn";
inline constexpr char kVersionMark[] = "V";
inline constexpr char kCmdTj[] = "添加记录";
inline constexpr char kCmdXg[] = "修改当前记录";
inline constexpr char kCmdSc[] = "删除当前记录";
inline constexpr char kCmdHelp[] = "用户手册";
inline constexpr char kCmdAbout[] = "关于";
inline constexpr char kCmdTp[] = "隐藏到托盘";

// Summary label: heading, CR LF, value, ...
inline constexpr char kLabCurrent[] = "当前账号：";
inline constexpr char kLabCreated[] = "创建时间：";
inline constexpr char kLabModified[] = "最后修改：";
inline constexpr char kCrLf[] = "\r\n";

// Status bar: credit, clock ("yyyy年MM月dd日 HH时mm分ss秒" in Qt's format letters), thanks.
inline constexpr char kStatusCredit[] = "本程序由Brondel工作室-站长倾情开发";
inline constexpr char kStatusNow[] = "★现在是：";
inline constexpr char kClockFormat[] = "yyyy年MM月dd日 HH时mm分ss秒";
inline constexpr char kStatusThanks[] = "   感谢使用(^_^)";

// Main window messages.
inline constexpr char kRightClickBlocked[] = "右键已被禁止,复制请用Ctrl+C";
inline constexpr char kSelectToModify[] = "请选择要【修改】的账号！";
inline constexpr char kSelectToDelete[] = "请选择要【删除】的账号！";
inline constexpr char kConfirmDelete[] = "确定要删除这个账号？";

// The passphrase window of a protected store.
inline constexpr char kPassphrasePrompt[] = "请输入账号库密码：";
inline constexpr char kCancel[] = "取消";
inline constexpr char kWrongPassphrase[] = "密码不正确，请重新输入。";
inline constexpr char kCheckingPassphrase[] = "正在验证密码，请稍候……";
// Under the prompt when another program put another store in the file's place or changed its
// passphrase while Kelvarn was open.
inline constexpr char kStoreReplacedNote[] =
    "账号库文件已被别的程序换过或改过密码，请输入它的密码。";
// Under the prompt when the store was locked (Ctrl+L, the screen locked, the machine asleep, the
// idle minutes passed) and the user brings Kelvarn back.
inline constexpr char kLockedNote[] = "账号库已锁定，请输入密码解锁。";

// Editor window.
inline constexpr char kEditorCaption[] = "Form1";
inline constexpr char kCmdFh[] = "返  回";
inline constexpr char kEditorCmdTj[] = "添  加";
inline constexpr char kEditorCmdXg[] = "修  改";
inline constexpr char kLabel1[] = "输入账号类型：";
inline constexpr char kLabel2[] = "输入账号名称：";
inline constexpr char kIncompleteAdd[] = "请输入完整信息！";
inline constexpr char kConfirmAdd[] = "确定添加该条信息？";
inline constexpr char kIncompleteModify[] = "【账号类型、名称、内容】都不能为空！";
inline constexpr char kNothingChanged[] = "若不需修改请点击返回！";
inline constexpr char kConfirmModify[] = "确定修改该条信息？";
// The account being modified was removed meanwhile (for example by a second instance).
inline constexpr char kAccountGone[] = "该账号已不存在（可能已被删除），未作修改。";
inline constexpr char kAccountGoneDelete[] = "该账号已不存在（可能已被删除），未作删除。";

// Standard error report: number, description.
inline constexpr char kErrorReport[] = "实时错误 '%1':\n\n%2";

// Store errors: %1 is the file's path.
inline constexpr char kStoreMissing[] = "找不到数据库文件“%1”。";
inline constexpr char kStoreNotDatabase[] = "文件“%1”不是 Kelvarn 的数据库文件。";
inline constexpr char kStoreIsAccess[] =
    "文件“%1”是旧版 Windows 程序的 Access 数据库，Kelvarn 不能直接打开。"
    "请先导入：kelvarn-store import 旧文件.mdb 新文件";
inline constexpr char kStoreNoTable[] = "数据库文件“%1”中没有表“账号集合”。";
// %2 is the missing field.
inline constexpr char kStoreNoField[] = "数据库文件“%1”的表“账号集合”缺少字段“%2”。";
// %2 is SQLite's own message.
inline constexpr char kStoreFailed[] = "数据库文件“%1”出错：%2";
inline constexpr char kStoreReadOnly[] =
    "数据库文件“%1”是只读的，不能保存对账号的修改。请先允许写入这个文件。";
// %2 is the folder.
inline constexpr char kStoreFolderReadOnly[] =
    "数据库文件“%1”所在的文件夹“%"
    "2”不能写入（修改账号时要在其中建立日志文件），不能保存对账号的修改。"
    "请先允许写入这个文件夹。";
// A protected store.
inline constexpr char kStoreLocked[] = "数据库文件“%1”已加密，读写账号需要密码。";
inline constexpr char kStoreChanged[] =
    "数据库文件“%1”在 Kelvarn 打开期间被别的程序改变了结构（例如加密、解密或更改了密码）。"
    "为免把账号写错，Kelvarn 现在退出，请重新启动。";
// %2 is the account's name.
inline constexpr char kStoreContentDamaged[] =
    "数据库文件“%1”中账号“%2”的内容无法解密：文件可能被改动过或已损坏。";
// An account whose name cannot be opened either.
inline constexpr char kStoreRowDamaged[] =
    "数据库文件“%1”中有账号的数据无法解密：文件可能被改动过或已损坏。";
inline constexpr char kStoreKeyDamaged[] =
    "数据库文件“%1”的密钥表已损坏，无法读取：文件可能被改动过或已损坏。";
inline constexpr char kStoreSealedWithoutKey[] =
    "数据库文件“%1”已损坏：其中有加密的账号数据，却没有解密所需的密钥表。";
inline constexpr char kStoreProtected[] = "账号库“%1”已经加密。";
inline constexpr char kStoreNotProtected[] = "账号库“%1”没有加密。";
inline constexpr char kStoreBadStatement[] = "不支持的语句：%1";
inline constexpr char kStoreUnknownField[] = "记录集中没有字段“%1”。";
inline constexpr char kStoreNoCurrentRow[] = "没有当前记录。";
inline constexpr char kStoreClosed[] = "记录集未打开。";

// kelvarn-store: every command, one line each.
inline constexpr char kStoreToolUsage[] =
    "用法：\n"
    "  kelvarn-store init STORE                       新建空的账号库\n"
    "  kelvarn-store import FILE STORE                从旧版 Access 文件或导出的 JSON/CSV "
    "导入账号\n"
    "  kelvarn-store export STORE [--format csv|json] 把全部账号写到标准输出\n"
    "  kelvarn-store protect STORE                    用密码加密全部账号\n"
    "  kelvarn-store unprotect STORE                  去掉加密\n"
    "  kelvarn-store passphrase STORE                 更改密码\n"
    "  kelvarn-store merge OTHER STORE                把另一份账号库的改动合并进来\n"
    "  kelvarn-store lock-after STORE MINUTES         "
    "加密的账号库无操作多少分钟后锁定（0：不按时间锁定）\n"
    "  kelvarn-store --help | --version               显示本说明或版本\n"
    "密码从终端读入（不回显）；import、export、protect、unprotect、passphrase 和 merge 也可以用\n"
    "--passphrase-fd N 从文件描述符 N 逐行读入（passphrase 读两行：原密码，新密码）。\n";

// Passphrases on the command line.
inline constexpr char kAskPassphrase[] = "密码：";
inline constexpr char kAskNewPassphrase[] = "新密码：";
inline constexpr char kAskNewPassphraseAgain[] = "再次输入新密码：";
inline constexpr char kPassphraseMismatch[] = "两次输入的密码不一致。";
inline constexpr char kPassphraseEmpty[] = "密码不能为空。";
inline constexpr char kPassphraseTooLong[] = "密码太长：最多 1024 个字节（一个汉字占 3 个字节）。";
inline constexpr char kPassphraseWrong[] = "密码不正确。";
inline constexpr char kPassphraseUnreadable[] =
    "读不到密码：请在终端中运行，或用 --passphrase-fd 给出读密码的文件描述符。";
// %1 is the store's path.
inline constexpr char kProtectDone[] = "账号库“%1”已加密：账号的名称、类型、内容和时间都已加密。";
inline constexpr char kUnprotectDone[] = "账号库“%1”已去掉加密。";
inline constexpr char kPassphraseDone[] = "账号库“%1”的密码已更改。";

// kelvarn-store lock-after: %1 is the store's path, %2 the minutes as given.
inline constexpr char kLockAfterUsage[] = "用法：kelvarn-store lock-after 账号库 分钟数";
inline constexpr char kLockAfterBad[] =
    "分钟数“%2”不对：应当是 0 到 1440 之间的整数（0：不按时间锁定）。账号库“%1”没有改动。";
inline constexpr char kLockAfterDone[] = "账号库“%1”：Kelvarn 无操作 %2 分钟后锁定。";
inline constexpr char kLockAfterNever[] =
    "账号库“%1”：Kelvarn 不再按时间锁定，锁屏和睡眠时仍会锁定。";

// kelvarn-store import: %1 is the path of the file imported unless said otherwise.
inline constexpr char kImportUsage[] =
    "用法：kelvarn-store import 文件 账号库 [--passphrase-fd N]"
    "（文件：旧版 Access 文件，或 kelvarn-store export 导出的 JSON/CSV）";
inline constexpr char kImportMissing[] = "找不到文件“%1”。";
inline constexpr char kImportUnreadable[] = "无法读取文件“%1”。";
inline constexpr char kImportNotAccess[] = "文件“%1”不是 Access 数据库文件。";
// %2 is the version number found in the file's header.
inline constexpr char kImportUnknownVersion[] = "文件“%1”的 Access 版本（%2）无法识别。";
inline constexpr char kImportDamaged[] = "Access 文件“%1”已损坏或不完整，无法读取。";
inline constexpr char kImportNoTable[] = "Access 文件“%1”中没有表“账号集合”。";
// %2 is the field.
inline constexpr char kImportNoField[] = "Access 文件“%1”的表“账号集合”缺少字段“%2”。";
inline constexpr char kImportFieldType[] =
    "Access 文件“%1”中字段“%2”的类型不是文本、备注或日期/时间。";
inline constexpr char kImportNotOurs[] =
    "文件“%1”不是 Kelvarn 能导入的文件：既不是旧版 Access 文件，也不是 kelvarn-store 导出的 JSON "
    "或 CSV。";
inline constexpr char kImportTooBig[] = "文件“%1”太大，内存放不下。";
// The name of an account's identity in an export, after the five fields.
inline constexpr char kIdentityField[] = "标识";
// A fault in an export: kImportAtLine (%2 is the line) followed by one of the reasons after it.
inline constexpr char kImportAtLine[] = "文件“%1”第 %2 行：";
inline constexpr char kImportNotUtf8[] = "不是有效的 UTF-8 文字。";
inline constexpr char kImportUnclosed[] = "引号从这里开始，到文件末尾都没有结束。";
inline constexpr char kImportCutShort[] = "文件到这里就结束了，不完整。";
inline constexpr char kImportJsonSyntax[] = "不是 kelvarn-store 导出的 JSON 格式。";
inline constexpr char kImportBadString[] = "字符串中有无效的转义或未转义的控制字符。";
inline constexpr char kImportTrailing[] = "数组结束之后还有内容。";
inline constexpr char kImportCsvSyntax[] =
    "字段写法不对：含引号、逗号或换行的字段应当整个括在引号里，其中的引号写两次。";
inline constexpr char kImportWrongName[] =
    "字段名不对：应当依次是 账号名称、账号类型、账号内容、创建时间、最后修改，可再加 标识。";
// %1 is a field's name.
inline constexpr char kImportDuplicateName[] = "字段“%1”重复。";
inline constexpr char kImportMissingName[] = "缺少字段“%1”。";
inline constexpr char kImportNotText[] = "字段“%1”的值应当是文字或 null。";
inline constexpr char kImportBadIdentity[] = "字段“%1”应当是 32 个小写十六进制数字。";
// %1 is the number of fields that the first line names.
inline constexpr char kImportFieldCount[] = "应当有 %1 个字段，与第 1 行一样。";
// %1 is the store's path.
inline constexpr char kImportAborted[] = "导入未完成，账号库“%1”没有任何改动。";
// %1 is the number of accounts, %2 the store's path.
inline constexpr char kImportDone[] = "已导入 %1 个账号到“%2”。";

// kelvarn-store export.
inline constexpr char kExportUsage[] =
    "用法：kelvarn-store export 账号库 [--format csv|json] [--passphrase-fd N]";
inline constexpr char kExportBadFormat[] = "不支持的导出格式“%1”，请用 csv 或 json。";
inline constexpr char kExportWriteFailed[] = "无法写出导出的数据。";

// Merging another copy of the book (kelvarn-store merge, and the question at start).
// An account whose version lost against another's is kept beside it under its name and this.
inline constexpr char kConflictCopySuffix[] = "（冲突副本）";
inline constexpr char kMergeUsage[] =
    "用法：kelvarn-store merge 另一份账号库 账号库 [--passphrase-fd N]"
    "（把另一份账号库中的改动合并进账号库，另一份只读不写）";
// %1 the other copy, %2 the store.
inline constexpr char kMergeDone[] =
    "已把“%1”合并到“%2”：添加 %3 个账号，更新 %4 个，删除 %5 个，保留冲突副本 %6 个。";
inline constexpr char kMergeAborted[] = "没有合并，账号库“%1”没有改动。";
inline constexpr char kAskOtherPassphrase[] = "“%1”的密码：";
// %1 the file refused, %2 the reason.
inline constexpr char kMergeRefused[] = "“%1”不能合并：%2。";
inline constexpr char kMergeNoIdentity[] = "有账号没有标识";
inline constexpr char kMergeBadIdentity[] = "有账号的标识已损坏";
inline constexpr char kMergeIdentityTwice[] = "有两个账号的标识相同";
inline constexpr char kMergeBadVersions[] = "账号的版本记录已损坏";
inline constexpr char kMergeBadDeletion[] = "删除记录已损坏";
inline constexpr char kMergeFutureDeletion[] = "有删除记录的时间在将来（%1）";

// Creating a store (kelvarn-store init): %1 is the file's path, %2 the system's reason.
inline constexpr char kStoreExists[] = "文件“%1”已存在，不会覆盖。";
inline constexpr char kStoreCannotCreate[] = "无法创建数据库文件“%1”：%2";
// Reasons a file cannot be made that the user can mend.
inline constexpr char kReasonNoPermission[] = "没有在这个文件夹中写入的权限";
inline constexpr char kReasonReadOnlyDisk[] = "文件系统是只读的";
inline constexpr char kReasonNoFolder[] = "文件夹不存在";
inline constexpr char kReasonDiskFull[] = "磁盘已满";
inline constexpr char kInitUsage[] = "用法：kelvarn-store init 账号库";
inline constexpr char kInitDone[] = "已新建空的账号库“%1”。";

// The find window (Ctrl+F in the main window).
inline constexpr char kFindCaption[] = "查找账号";
inline constexpr char kLabCz[] = "查找：";
inline constexpr char kFindName[] = "名称";
inline constexpr char kFindType[] = "类型";
// %1 counts every account found, also where the list shows only the first of them.
inline constexpr char kFound[] = "找到 %1 个账号";

// Conflict copies that sync clients leave beside the store, offered in the window. %1 is the
// copy's file name.
inline constexpr char kMergeAsk[] =
    "账号库旁边有同步软件留下的冲突副本“%1”（两台电脑在同步之前都改过账号）。\n"
    "现在把它合并到账号库中吗？";
inline constexpr char kMergeCopyPassphraseNote[] =
    "冲突副本“%1”的密码与账号库的不同，请输入它的密码。";
// The line after kMergeDone.
inline constexpr char kMergeCopyMoved[] = "冲突副本已移到旁边的文件夹“已合并”中。";
// The line after why a copy was refused.
inline constexpr char kMergeCopyLeft[] = "账号库没有改动，冲突副本留在原处。";
// Beside the store: where merged copies are kept.
inline constexpr char kMergedFolder[] = "已合并";
// %1 is the copy's path, %2 the system's reason.
inline constexpr char kMergedNotMoved[] =
    "无法把已合并的冲突副本“%1”移到旁边的文件夹“已合并”中：%2";

// Start-up in a Wayland session without X11 (no Xwayland) when Qt's Wayland support is missing.
inline constexpr char kNoWaylandSupport[] =
    "kelvarn：这个桌面只有 Wayland，而 Qt 的 Wayland 支持没有安装（软件包 qt6-wayland）。\n";

}  // namespace texts
