#!/bin/sh
echo "No fuzz targets yet."
