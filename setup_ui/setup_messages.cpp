#include "setup_ui/setup_messages.h"

#include "framework/common_controls.h"

namespace {

const char* const kCaption = "Velmora 2.0 설치";

}  // namespace

void ShowRunMessage(HWND window, install::RunMessage message) {
    const char* text = nullptr;
    const char* caption = kCaption;
    switch (message) {
        case install::RunMessage::DownloadFailed:
            text = "Velmora 2.0 설치 파일을 내려받지 못했습니다.\n"
                   "인터넷 연결을 확인한 후 설치를 다시 시작해 주십시오.";
            break;
        case install::RunMessage::NotVerified:
            text = "Velmora 2.0 설치 파일을 확인할 수 없습니다.\n"
                   "내려받은 파일이 제작사가 배포한 파일과 다릅니다. 잠시 뒤에 설치를 다시 시작해 주십시오.";
            break;
        case install::RunMessage::UnpackFailed:
            text = "Velmora 2.0 설치 파일의 압축을 풀 수 없습니다.\n"
                   "설치 파일이 손상되었을 수 있습니다. 설치를 처음부터 다시 시작해 주십시오.";
            break;
        case install::RunMessage::DiskFull:
            text = "디스크 공간이 부족하여 Velmora 2.0을 설치할 수 없습니다.\n"
                   "디스크 공간을 확보한 후 설치를 다시 시작해 주십시오.";
            break;
        case install::RunMessage::WorkerNotStarted:
            text = "THREAD 를 생성할 수 없습니다.";
            caption = "Velmora 업데이트";
            break;
        case install::RunMessage::UninstallerNotWritten:
            text = "제거 프로그램(VL2Del.exe)을 만들 수 없습니다.\n"
                   "디스크 공간과 폴더 권한을 확인한 후 설치를 다시 시작해 주십시오.";
            break;
        case install::RunMessage::None:
            return;
    }
    ShowMessageBox(window, text, caption, MB_OK | MB_ICONERROR);
}

void ShowShortcutFailure(HWND window, const install::ShortcutResult& failure) {
    if (failure.classNotRegistered) {
        ShowMessageBox(window,
                    "A specified class is not registered in the registration database. Also can indicate that the "
                    "type of server you requested in the CLSCTX enumeration is not registered or the values for the "
                    "server types in the registry are corrupt.",
                    "BRISKNET 바로가기", MB_ICONHAND);
        return;
    }
    if (failure.pathNotSet) ShowMessageBox(window, "파일 경로 설정 실패!", "아이콘 생성 에러", MB_ICONHAND);
    if (failure.descriptionNotSet) ShowMessageBox(window, "아이콘 상세 정보 설정 실패!", "아이콘 생성 에러", MB_ICONHAND);
    if (failure.notSaved) ShowMessageBox(window, "아이콘 저장 실패!", "아이콘 생성 에러", MB_ICONHAND);
}
