#include "platform/MosquittoLibrary.h"

Mosquitto::Mosquitto()
{
    if (ready)
        lib_init();
}

const Mosquitto &libmosquitto()
{
    static const Mosquitto mosquitto;
    return mosquitto;
}
