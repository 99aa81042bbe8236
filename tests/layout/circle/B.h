#pragma once
struct TB {};
