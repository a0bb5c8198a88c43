#include "ui/Language.h"

#include <windows.h>

#include "platform/Platform.h"

// Searched from the first row to the last; the first whole, case-insensitive match wins. "chinese"
// means Simplified Chinese: Traditional Chinese is reached only through its own tags.
const LanguageAlias kLanguageAliases[27] = {
    {L"ja", L"ja-JP", UiLanguage::Japanese},
    {L"ja-JP", L"ja-JP", UiLanguage::Japanese},
    {L"japanese", L"ja-JP", UiLanguage::Japanese},
    {L"en", L"en-US", UiLanguage::English},
    {L"en-US", L"en-US", UiLanguage::English},
    {L"english", L"en-US", UiLanguage::English},
    {L"ko", L"ko-KR", UiLanguage::Korean},
    {L"ko-KR", L"ko-KR", UiLanguage::Korean},
    {L"korean", L"ko-KR", UiLanguage::Korean},
    {L"zh", L"zh-CN", UiLanguage::ChineseSimplified},
    {L"zh-CN", L"zh-CN", UiLanguage::ChineseSimplified},
    {L"zh-Hans", L"zh-CN", UiLanguage::ChineseSimplified},
    {L"chinese", L"zh-CN", UiLanguage::ChineseSimplified},
    {L"zh-TW", L"zh-TW", UiLanguage::ChineseTraditional},
    {L"zh-Hant", L"zh-TW", UiLanguage::ChineseTraditional},
    {L"fr", L"fr-FR", UiLanguage::French},
    {L"fr-FR", L"fr-FR", UiLanguage::French},
    {L"french", L"fr-FR", UiLanguage::French},
    {L"it", L"it-IT", UiLanguage::Italian},
    {L"it-IT", L"it-IT", UiLanguage::Italian},
    {L"italian", L"it-IT", UiLanguage::Italian},
    {L"de", L"de-DE", UiLanguage::German},
    {L"de-DE", L"de-DE", UiLanguage::German},
    {L"german", L"de-DE", UiLanguage::German},
    {L"es", L"es-ES", UiLanguage::Spanish},
    {L"es-ES", L"es-ES", UiLanguage::Spanish},
    {L"spanish", L"es-ES", UiLanguage::Spanish},
};

namespace {

constexpr int kLanguageCount = 9;      // UiLanguage values 0..8
constexpr int kMenuStringCount = 10;   // MenuString values 0..9

// Rows indexed by UiLanguage value, columns by MenuString value.
constexpr const wchar_t* kMenuTexts[kLanguageCount][kMenuStringCount] = {
    // Japanese
    {L"ホットコーナー", L"左上", L"右上", L"左下", L"右下", L"検出までの範囲", L"検出までの時間",
     L"Windows起動時に開始", L"このアプリについて…", L"Hoverlatch を終了"},
    // English
    {L"Hot corners", L"Top left", L"Top right", L"Bottom left", L"Bottom right", L"Range until detection",
     L"Time until detection", L"Run at Windows startup", L"About this app…", L"Exit Hoverlatch"},
    // Korean
    {L"핫 코너", L"좌상단", L"우상단", L"좌하단", L"우하단", L"감지까지의 범위", L"감지까지의 시간",
     L"Windows 시작 시 실행", L"이 앱 정보…", L"Hoverlatch 종료"},
    // ChineseSimplified
    {L"屏幕边角", L"左上", L"右上", L"左下", L"右下", L"检测前的范围", L"检测前的时间", L"Windows 启动时运行",
     L"关于此应用…", L"退出 Hoverlatch"},
    // ChineseTraditional
    {L"螢幕角落", L"左上", L"右上", L"左下", L"右下", L"偵測前的範圍", L"偵測前的時間", L"Windows 開機時執行",
     L"關於此應用程式…", L"結束 Hoverlatch"},
    // French
    {L"Coins actifs", L"Haut gauche", L"Haut droit", L"Bas gauche", L"Bas droit", L"Zone avant détection",
     L"Temps avant détection", L"Démarrer avec Windows", L"À propos…", L"Quitter Hoverlatch"},
    // Italian
    {L"Angoli attivi", L"In alto a sinistra", L"In alto a destra", L"In basso a sinistra", L"In basso a destra",
     L"Area prima del rilevamento", L"Tempo prima del rilevamento", L"Avvia all'avvio di Windows",
     L"Informazioni…", L"Esci da Hoverlatch"},
    // German
    {L"Aktive Ecken", L"Oben links", L"Oben rechts", L"Unten links", L"Unten rechts",
     L"Bereich bis zur Erkennung", L"Zeit bis zur Erkennung", L"Mit Windows starten", L"Info…",
     L"Hoverlatch beenden"},
    // Spanish
    {L"Esquinas activas", L"Arriba izquierda", L"Arriba derecha", L"Abajo izquierda", L"Abajo derecha",
     L"Área antes de la detección", L"Tiempo antes de la detección", L"Iniciar con Windows", L"Acerca de…",
     L"Salir de Hoverlatch"},
};

// Action labels per language: Task View, Disabled, then the capture modes in CornerAction order
// (FramwickRegion 4 .. FramwickBar 10).
struct ActionLabels {
    const wchar_t* taskView;
    const wchar_t* disabled;
    const wchar_t* capture[7];
};

constexpr int kFirstCaptureAction = static_cast<int>(CornerAction::FramwickRegion);
constexpr int kLastCaptureAction = static_cast<int>(CornerAction::FramwickBar);

constexpr ActionLabels kActionLabels[kLanguageCount] = {
    // Japanese: the scroll label has no blank before the beta.
    {L"タスクビュー", L"無効",
     {L"四角形", L"ウィンドウ", L"全画面", L"フリーフォーム", L"スクロールβ", L"テキスト OCR", L"キャプチャ…"}},
    // English
    {L"Task View", L"Disabled",
     {L"Rectangle", L"Window", L"Fullscreen", L"Freeform", L"Scroll β", L"Text OCR", L"Capture…"}},
    // Korean
    {L"작업 보기", L"사용 안 함", {L"사각형", L"창", L"전체 화면", L"자유형", L"스크롤 β", L"텍스트 OCR", L"캡처…"}},
    // ChineseSimplified
    {L"任务视图", L"禁用", {L"矩形", L"窗口", L"全屏", L"自由形状", L"滚动 β", L"文字 OCR", L"截图…"}},
    // ChineseTraditional
    {L"工作檢視", L"停用", {L"矩形", L"視窗", L"全螢幕", L"自由形狀", L"捲動 β", L"文字 OCR", L"擷取…"}},
    // French
    {L"Vue des tâches", L"Désactivé",
     {L"Rectangle", L"Fenêtre", L"Plein écran", L"Forme libre", L"Défilement β", L"OCR texte", L"Capturer…"}},
    // Italian
    {L"Visualizzazione attività", L"Disattivato",
     {L"Rettangolo", L"Finestra", L"Schermo intero", L"Forma libera", L"Scorrimento β", L"OCR testo",
      L"Acquisisci…"}},
    // German
    {L"Aufgabenansicht", L"Deaktiviert",
     {L"Rechteck", L"Fenster", L"Vollbild", L"Freiform", L"Scrollen β", L"Text-OCR", L"Aufnehmen…"}},
    // Spanish
    {L"Vista de tareas", L"Desactivado",
     {L"Rectángulo", L"Ventana", L"Pantalla completa", L"Forma libre", L"Desplazamiento β", L"OCR de texto",
      L"Capturar…"}},
};

// Row of a language in the tables; anything outside the known values reads as English.
int LanguageRow(UiLanguage language) {
    const auto value = static_cast<int32_t>(language);
    if (value < 0 || value >= kLanguageCount) return static_cast<int>(UiLanguage::English);
    return value;
}

constexpr WORD kPrimaryLanguageMask = 0x3FF;  // low 10 bits of a LANGID
constexpr int kSublanguageShift = 10;
constexpr WORD kSublanguageTaiwan = 1;        // SUBLANG_CHINESE_TRADITIONAL
constexpr WORD kSublanguageHongKong = 3;      // SUBLANG_CHINESE_HONGKONG
constexpr WORD kSublanguageMacao = 5;         // SUBLANG_CHINESE_MACAU

UiLanguage LanguageOfWindows(LANGID id) {
    const WORD primary = id & kPrimaryLanguageMask;
    const WORD sublanguage = static_cast<WORD>(id >> kSublanguageShift);
    switch (primary) {
    case LANG_JAPANESE: return UiLanguage::Japanese;
    case LANG_KOREAN: return UiLanguage::Korean;
    case LANG_CHINESE:
        if (sublanguage == kSublanguageTaiwan || sublanguage == kSublanguageHongKong ||
            sublanguage == kSublanguageMacao) {
            return UiLanguage::ChineseTraditional;
        }
        return UiLanguage::ChineseSimplified;
    case LANG_FRENCH: return UiLanguage::French;
    case LANG_GERMAN: return UiLanguage::German;
    case LANG_ITALIAN: return UiLanguage::Italian;
    case LANG_SPANISH: return UiLanguage::Spanish;
    default: return UiLanguage::English;
    }
}

}  // namespace

const LanguageAlias* FindLanguageAlias(const wchar_t* text) {
    if (!text || !*text) return nullptr;
    for (const LanguageAlias& row : kLanguageAliases) {
        if (EqualsIgnoringAsciiCase(text, row.alias)) return &row;
    }
    return nullptr;
}

UiLanguage ResolveMenuLanguage(const wchar_t* language) {
    if (const LanguageAlias* row = FindLanguageAlias(language)) return row->language;
    return LanguageOfWindows(g_platform.getUserDefaultUILanguage());
}

const wchar_t* MenuText(UiLanguage language, MenuString which) {
    auto column = static_cast<int32_t>(which);
    if (column < 0 || column >= kMenuStringCount) column = static_cast<int32_t>(MenuString::Header);
    return kMenuTexts[LanguageRow(language)][column];
}

const wchar_t* TaskViewLabel(UiLanguage language) { return kActionLabels[LanguageRow(language)].taskView; }

const wchar_t* DisabledLabel(UiLanguage language) { return kActionLabels[LanguageRow(language)].disabled; }

const wchar_t* CaptureModeLabel(UiLanguage language, CornerAction action) {
    auto value = static_cast<int32_t>(action);
    // Anything that is not a capture mode shows the region label, the capture tool's default mode.
    if (value < kFirstCaptureAction || value > kLastCaptureAction) value = kFirstCaptureAction;
    return kActionLabels[LanguageRow(language)].capture[value - kFirstCaptureAction];
}
