// The template's JSON form: what dump --json prints and from-json reads.
#pragma once

#include <string>

#include "model/config_image.h"

// The value of the "format" key; a later change of the form gets a new one.
constexpr const char* templateJsonFormat = "tovask-template-1";

// The record's fields and options, and the image they were decoded from.
std::string TemplateToJson(const TemplateRecord& record, const ConfigImage& image);

// Builds an image from the JSON form. The base is the object's "image" (the
// bytes no field owns survive) or the default image; keys left out keep the
// base's values; every given value is checked as `set` checks it. Returns
// false with the reason, naming the key, in error.
bool TemplateFromJson(const std::string& json, ConfigImage& image, std::string& error);
