#include "platform/MosquittoLibrary.h"

Mosquitto::Mosquitto()
{
    ready = library.find("mosquitto_lib_init", lib_init) &&
            library.find("mosquitto_new", create) &&
            library.find("mosquitto_destroy", destroy) &&
            library.find("mosquitto_int_option", int_option) &&
            library.find("mosquitto_connect_callback_set", connect_callback_set) &&
            library.find("mosquitto_disconnect_callback_set", disconnect_callback_set) &&
            library.find("mosquitto_publish_callback_set", publish_callback_set) &&
            library.find("mosquitto_subscribe_callback_set", subscribe_callback_set) &&
            library.find("mosquitto_message_callback_set", message_callback_set) &&
            library.find("mosquitto_log_callback_set", log_callback_set) &&
            library.find("mosquitto_will_set", will_set) &&
            library.find("mosquitto_username_pw_set", username_pw_set) &&
            library.find("mosquitto_tls_set", tls_set) &&
            library.find("mosquitto_connect_async", connect_async) &&
            library.find("mosquitto_loop", loop) &&
            library.find("mosquitto_socket", socket) &&
            library.find("mosquitto_want_write", want_write) &&
            library.find("mosquitto_connack_string", connack_string) &&
            library.find("mosquitto_strerror", strerror) &&
            library.find("mosquitto_subscribe", subscribe) &&
            library.find("mosquitto_disconnect", disconnect) &&
            library.find("mosquitto_publish", publish) &&
            library.find("mosquitto_pub_topic_check2", pub_topic_check2) &&
            library.find("mosquitto_validate_utf8", validate_utf8);
    if (ready)
        lib_init();
}


const Mosquitto &libmosquitto()
{
    static const Mosquitto mosquitto;
    return mosquitto;
}
