// The one translation unit that holds easylogging++'s implementation and storage.
#include <easylogging++.cc>

INITIALIZE_EASYLOGGINGPP
