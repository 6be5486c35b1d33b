#!/bin/sh
# Stands in for a download that fails on the first attempt: exits with 1
# when the attempt number given is 1, with 0 from the second attempt on.
[ "$1" -ge 2 ]
