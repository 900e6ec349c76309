#pragma once

#include <string>

// The maker's web address: a host name without a scheme.
inline constexpr const char* kHomePageAddress = "tunorva.example.org";

// Starts the web browser on "http://" + `address`; every failure is silent.
void OpenHomePage(const std::string& address);
