#include "shell/vark_app.h"
#include "vark_application.h"

int main(int argc, char** argv)
{
    CVarkApplication app(argc, argv);
    CVarkApp varkApp;
    return varkApp.Run();
}
