#include "panel/qt/pictures.h"

// Outside the namespace: the resource initialiser is a global function.
static void initResources() { Q_INIT_RESOURCE(resources); }

namespace dalmora {

namespace {

struct SetFiles {
    const char* prefix;
    int count;
};

SetFiles filesOf(PictureSet set) {
    switch (set) {
    case PictureSet::Base: return {"base", 1};
    case PictureSet::RPV: return {"rpv", 13};
    case PictureSet::GPV: return {"gpv", 13};
    case PictureSet::DP: return {"dp", 2};
    case PictureSet::OP: return {"op", 8};
    case PictureSet::Error: return {"error", 4};
    case PictureSet::Option: return {"option", 2};
    }
    return {"", 0};
}

}  // namespace

int pictureCount(PictureSet set) { return filesOf(set).count; }

QString pictureFor(PictureSet set, int index) {
    const SetFiles files = filesOf(set);
    if (index < 1 || index > files.count) {
        return {};
    }
    return QStringLiteral(":/pictures/%1_%2.svg")
        .arg(QLatin1String(files.prefix))
        .arg(index, 2, 10, QLatin1Char('0'));
}

bool pictureIsOpaque(PictureSet set) { return set != PictureSet::DP; }

QString logoPicture() { return QStringLiteral(":/pictures/logo_01.svg"); }

void loadPictureResources() {
    static const bool loaded = [] {
        initResources();
        return true;
    }();
    (void)loaded;
}

}  // namespace dalmora
