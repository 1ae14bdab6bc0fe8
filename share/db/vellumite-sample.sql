-- The sample site shown on first start.
INSERT INTO VellumiteLog (LogTitle, displayTitle, webBarTitle) VALUES ('Welcome to Vellumite', 'Welcome to Vellumite', 'Welcome to Vellumite');
