# A running product found before the installer starts: Cancel closes the window and leaves the product running.

product_running_case cancel
