// Shows the settings window or the entry editor in a chosen state until it is closed, for
// screenshots, with a button assigned and five entries:
//   tavrin_settings_showcase window|window-without-permission|text-editor|key-editor
#include "FakePlatform.h"
#include "ItemCodec.h"
#include "settings/ItemEditor.h"
#include "settings/SettingsWindow.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

using namespace tavrin;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const char* scene = argc > 1 ? argv[1] : "window";

    testing::FakePlatform platform;
    platform.trusted = std::strcmp(scene, "window-without-permission") != 0;
    platform.store["assignedButton"] = std::int64_t{4};
    platform.store["menuItems"] = *itemCodec::encode({
        {Uuid::random(), "Mention", PopupAction::insertText("@")},
        {Uuid::random(), "Command", PopupAction::insertText("/")},
        {Uuid::random(), "Enter", PopupAction::pressKey(SpecialKey::returnKey)},
        {Uuid::random(), "Signature", PopupAction::insertText("Kind regards, Ann")},
        {Uuid::random(), "Greeting \u4F60\u597D", PopupAction::insertText("\u4F60\u597D")},
    });
    ClickController controller(platform);

    SettingsWindow window(controller);
    window.move(20, 20);
    window.show();
    if (std::strncmp(scene, "window", 6) == 0)
        return app.exec();

    const bool keyEditor = std::strcmp(scene, "key-editor") == 0;
    if (!keyEditor && std::strcmp(scene, "text-editor") != 0) {
        std::fprintf(stderr, "usage: %s window|window-without-permission|text-editor|key-editor\n",
                     argv[0]);
        return 2;
    }
    const MenuItem& item = controller.menuItems()[keyEditor ? 2 : 3];
    ItemEditor editor(
        item, [](const MenuItem&) {}, [] {}, &window);
    editor.move(40, 120);
    editor.show();
    return app.exec();
}
