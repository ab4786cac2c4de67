#pragma once

// libmosquitto, opened when a broker is first set (LateLibrary) and
// started then: its functions as MqttPresence calls them.

#include "platform/LateLibrary.h"

#include <mosquitto.h>

struct Mosquitto {
    LateLibrary library{"libmosquitto.so.1"};
    LATE_FUNCTION(create, mosquitto_new);
    LATE_FUNCTION(lib_init, mosquitto_lib_init);
    LATE_FUNCTION(destroy, mosquitto_destroy);
    LATE_FUNCTION(int_option, mosquitto_int_option);
    LATE_FUNCTION(connect_callback_set, mosquitto_connect_callback_set);
    LATE_FUNCTION(disconnect_callback_set, mosquitto_disconnect_callback_set);
    LATE_FUNCTION(publish_callback_set, mosquitto_publish_callback_set);
    LATE_FUNCTION(subscribe_callback_set, mosquitto_subscribe_callback_set);
    LATE_FUNCTION(message_callback_set, mosquitto_message_callback_set);
    LATE_FUNCTION(log_callback_set, mosquitto_log_callback_set);
    LATE_FUNCTION(will_set, mosquitto_will_set);
    LATE_FUNCTION(username_pw_set, mosquitto_username_pw_set);
    LATE_FUNCTION(tls_set, mosquitto_tls_set);
    LATE_FUNCTION(connect_async, mosquitto_connect_async);
    LATE_FUNCTION(loop, mosquitto_loop);
    LATE_FUNCTION(socket, mosquitto_socket);
    LATE_FUNCTION(want_write, mosquitto_want_write);
    LATE_FUNCTION(connack_string, mosquitto_connack_string);
    LATE_FUNCTION(strerror, mosquitto_strerror);
    LATE_FUNCTION(subscribe, mosquitto_subscribe);
    LATE_FUNCTION(disconnect, mosquitto_disconnect);
    LATE_FUNCTION(publish, mosquitto_publish);
    LATE_FUNCTION(pub_topic_check2, mosquitto_pub_topic_check2);
    LATE_FUNCTION(validate_utf8, mosquitto_validate_utf8);
    bool ready = library.usable();

    Mosquitto();
};

// The library, opened at the first call; ready is false when it cannot be
// (library.error() says why).
const Mosquitto &libmosquitto();
