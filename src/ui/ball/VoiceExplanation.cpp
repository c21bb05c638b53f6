#include "ui/ball/VoiceExplanation.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace zorbel {

namespace {

/// The translation context of the explanation before the first recording.
struct VoiceText {
    Q_DECLARE_TR_FUNCTIONS(VoiceText)
};

}  // namespace

void showVoiceExplanation() {
    QMessageBox box(QMessageBox::Information, QString(), VoiceText::tr("需要麦克风和语音识别权限"));
    box.setInformativeText(VoiceText::tr(
        "Zorbel会用麦克风录制你的口述，并用系统语音识别转成文字来提取日程。录音文件仅临时保存在本"
        "机，识别完成后立即删除。\n\n日历权限不在此处申请：稍后你确认日程、首次点击「添加到日历」"
        "时系统才会询问，点允许即可。"));
    box.addButton(VoiceText::tr("继续"), QMessageBox::AcceptRole);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.raise();
    box.activateWindow();
    box.exec();
}

}  // namespace zorbel
