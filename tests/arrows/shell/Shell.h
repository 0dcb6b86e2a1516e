// Stands in for the window program the fixture includes.
