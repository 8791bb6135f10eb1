#include "app/TarnwickApp.h"

int main(int argc, char** argv) {
    tkw::CTarnwickApp app(argc, argv);
    return app.Run();
}
