// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "demo/demoapp.h"

int main(int argc, char **argv)
{
    return demo::runDemo(argc, argv);
}
