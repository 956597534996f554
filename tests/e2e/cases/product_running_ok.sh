# A running product found before the installer starts: OK ends it and the installation completes.

product_running_case ok
