// Thin glue between the page commands and the template library, user templates, downloads and
// the designer.
#include "templates/templates_commands.h"

#include "platform/numbers.h"
#include "templates/template_designer.h"
#include "templates/template_downloads.h"
#include "templates/template_library.h"
#include "templates/user_templates.h"

#include <memory>

namespace vellumite {

namespace {

// The key a list command carries first ("<$saveedit,12").
std::int32_t firstKey(const CommandContext& ctx) {
    return platform::clampToInt32(
        platform::leadingNumber(ctx.list.empty() ? std::string_view() : ctx.list.front()));
}

void showAfterSave(CommandContext& ctx, AfterSave next) {
    if (next == AfterSave::Editor)
        ctx.handlers.showEditor(ctx);
    else if (next == AfterSave::Select)
        subShowTemplateSelect(ctx.app);
}

CommandHandler useLibrary(std::string fixedName) {
    return [fixedName](CommandContext& ctx) {
        if (subUseLibraryTemplate(ctx.app, fixedName.empty() ? ctx.argument : fixedName))
            ctx.handlers.showSettings(ctx);
    };
}

CommandHandler makeFromLibrary(bool design) {
    return [design](CommandContext& ctx) {
        auto key = subMakeUserTemplate(ctx.app, ctx.argument, design);
        if (!key)
            return;
        if (design)
            subShowDesigner(ctx.app, *key);
        else
            subShowTemplateEdit(ctx.app, *key);
    };
}

CommandHandler saveEdited(bool asNew) {
    return [asNew](CommandContext& ctx) {
        if (subSaveEditedTemplate(ctx.app, firstKey(ctx), asNew))
            ctx.handlers.showEditor(ctx);
    };
}

CommandHandler saveDesign(DesignSave how) {
    return [how](CommandContext& ctx) { showAfterSave(ctx, subSaveDesign(ctx.app, how)); };
}

} // namespace

void installTemplatesCommands(CommandHandlers& h) {
    h.showTemplateSelect = [](CommandContext& ctx) { subShowTemplateSelect(ctx.app); };
    h.showTemplateEdit = [](CommandContext& ctx) { subShowTemplateEdit(ctx.app, ctx.key); };
    h.editUserTemplate = h.showTemplateEdit;
    h.useDefaultTemplate = useLibrary(std::string(kDefaultTemplate));
    h.useLibraryTemplate = useLibrary("");
    h.previewLibraryTemplate = [](CommandContext& ctx) {
        subPreviewLibraryTemplate(ctx.app, ctx.argument);
    };
    h.bigView = [](CommandContext& ctx) { subBigView(ctx.app, ctx.argument); };
    h.useUserTemplate = [](CommandContext& ctx) {
        if (subUseUserTemplate(ctx.app, ctx.key))
            ctx.handlers.showEditor(ctx);
    };
    h.deleteUserTemplate = [](CommandContext& ctx) {
        subDeleteUserTemplate(ctx.app, ctx.key);
        subShowTemplateSelect(ctx.app);
    };
    h.makeInstance = makeFromLibrary(false);
    h.makeDesign = makeFromLibrary(true);
    h.saveEditedTemplate = saveEdited(false);
    h.saveNewTemplate = saveEdited(true);

    // The download queues live as long as the handler table, that is, the program.
    auto downloads = std::make_shared<TemplateDownloads>();
    h.showOfferedTemplates = [downloads](CommandContext& ctx) { downloads->showOffered(ctx.app); };
    h.leaveOfferedTemplates = [downloads](CommandContext& ctx) {
        downloads->leaveOffered(ctx.app);
    };
    h.importSelected = [downloads](CommandContext& ctx) { downloads->importSelected(ctx.app); };
    h.getImportTemplate = [downloads](CommandContext& ctx) {
        downloads->download(ctx.app, {ctx.argument});
    };

    h.designProperty = [](CommandContext& ctx) {
        subDesignProperty(ctx.app, ctx.command, ctx.list);
    };
    h.saveDesign = saveDesign(DesignSave::Over);
    h.saveDesignAs = saveDesign(DesignSave::AsNew);
    h.saveDesignNew = saveDesign(DesignSave::AsNew);
    h.closeDesigner = [](CommandContext& ctx) { subCloseDesigner(ctx.app); };
}

} // namespace vellumite
