#pragma once

// libmosquitto, opened when a broker is first set (LateLibrary) and
// started then: its functions as MqttPresence calls them.

#include "platform/LateLibrary.h"

#include <mosquitto.h>

struct Mosquitto {
    LateLibrary library{"libmosquitto.so.1"};
    decltype(&mosquitto_new) create = nullptr;
    decltype(&mosquitto_lib_init) lib_init = nullptr;
    decltype(&mosquitto_destroy) destroy = nullptr;
    decltype(&mosquitto_int_option) int_option = nullptr;
    decltype(&mosquitto_connect_callback_set) connect_callback_set = nullptr;
    decltype(&mosquitto_disconnect_callback_set) disconnect_callback_set = nullptr;
    decltype(&mosquitto_publish_callback_set) publish_callback_set = nullptr;
    decltype(&mosquitto_subscribe_callback_set) subscribe_callback_set = nullptr;
    decltype(&mosquitto_message_callback_set) message_callback_set = nullptr;
    decltype(&mosquitto_log_callback_set) log_callback_set = nullptr;
    decltype(&mosquitto_will_set) will_set = nullptr;
    decltype(&mosquitto_username_pw_set) username_pw_set = nullptr;
    decltype(&mosquitto_tls_set) tls_set = nullptr;
    decltype(&mosquitto_connect_async) connect_async = nullptr;
    decltype(&mosquitto_loop) loop = nullptr;
    decltype(&mosquitto_socket) socket = nullptr;
    decltype(&mosquitto_want_write) want_write = nullptr;
    decltype(&mosquitto_connack_string) connack_string = nullptr;
    decltype(&mosquitto_strerror) strerror = nullptr;
    decltype(&mosquitto_subscribe) subscribe = nullptr;
    decltype(&mosquitto_disconnect) disconnect = nullptr;
    decltype(&mosquitto_publish) publish = nullptr;
    decltype(&mosquitto_pub_topic_check2) pub_topic_check2 = nullptr;
    decltype(&mosquitto_validate_utf8) validate_utf8 = nullptr;
    bool ready = false;

    Mosquitto();
};

// The library, opened at the first call; ready is false when it cannot be
// (library.error() says why).
const Mosquitto &libmosquitto();
